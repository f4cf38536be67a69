#pragma once

#include <string>
#include <vector>

// Collects the warnings Qt's image decoders log (categories "qt.gui.imageio...") on this
// thread while an instance lives. Some decoders report damage only that way: the JPEG
// decoder fills a cut-off file with grey, logs "premature end" and still returns an image.
// Warnings of categories the program had switched off are collected without being shown;
// every other message goes on to the handler that was installed before. One collection
// runs at a time; a second thread waits for the first to finish.
class CDecoderMessages {
 public:
  CDecoderMessages();
  ~CDecoderMessages();
  CDecoderMessages(const CDecoderMessages&) = delete;
  CDecoderMessages& operator=(const CDecoderMessages&) = delete;

  const std::vector<std::string>& Messages() const { return m_messages; }
  // The first warning saying the image data ended before the picture did, or empty.
  std::string PrematureEnd() const;

  // Called by the installed handler; not for other callers.
  void Add(std::string text) { m_messages.push_back(std::move(text)); }

 private:
  std::vector<std::string> m_messages;
};
