#include "picture/DecoderMessages.h"

#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

namespace {

// Held for the whole life of a collection: Qt's handler and filter are process-wide.
std::mutex g_collecting;
// Guards the state below, which the handler and the filter read from any thread.
std::mutex g_state;
CDecoderMessages* g_active = nullptr;
std::thread::id g_thread;
QtMessageHandler g_previousHandler = nullptr;
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;
std::set<std::string> g_silenced;

bool IsDecoderCategory(const char* name) {
  return name != nullptr && std::strncmp(name, "qt.gui.imageio", 14) == 0;
}

// Keeps the program's own rules and switches decoder warnings on, remembering which
// categories were off so that their messages are collected but not shown.
void EnableDecoderWarnings(QLoggingCategory* category) {
  std::lock_guard lock(g_state);
  if (g_previousFilter != nullptr) {
    g_previousFilter(category);
  }
  if (IsDecoderCategory(category->categoryName()) && !category->isWarningEnabled()) {
    g_silenced.insert(category->categoryName());
    category->setEnabled(QtWarningMsg, true);
  }
}

void Collect(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  QtMessageHandler next = nullptr;
  {
    std::lock_guard lock(g_state);
    next = g_previousHandler;
    if (IsDecoderCategory(context.category)) {
      if (g_active != nullptr && std::this_thread::get_id() == g_thread) {
        g_active->Add(text.toStdString());
      }
      // Switched on only for the collection: the program does not see these, whichever
      // thread logs them.
      if (g_silenced.count(context.category) != 0) {
        return;
      }
    }
  }
  if (next != nullptr) {
    next(type, context, text);
  }
}

}  // namespace

CDecoderMessages::CDecoderMessages() {
  g_collecting.lock();
  // The default filter first, to learn the one in use; ours then runs after it.
  const QLoggingCategory::CategoryFilter previousFilter = QLoggingCategory::installFilter(nullptr);
  {
    std::lock_guard lock(g_state);
    g_active = this;
    g_thread = std::this_thread::get_id();
    g_silenced.clear();
    g_previousFilter = previousFilter;
    g_previousHandler = qInstallMessageHandler(Collect);
  }
  QLoggingCategory::installFilter(EnableDecoderWarnings);
}

CDecoderMessages::~CDecoderMessages() {
  // Puts the program's own filter back, which also switches the decoder warnings back.
  QLoggingCategory::installFilter(g_previousFilter);
  {
    std::lock_guard lock(g_state);
    qInstallMessageHandler(g_previousHandler);
    g_active = nullptr;
    g_thread = std::thread::id();
    g_previousHandler = nullptr;
    g_previousFilter = nullptr;
  }
  g_collecting.unlock();
}

std::string CDecoderMessages::PrematureEnd() const {
  for (const std::string& message : m_messages) {
    std::string lower = message;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.find("premature end") != std::string::npos) {
      return message;
    }
  }
  return {};
}
