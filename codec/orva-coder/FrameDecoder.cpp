#include "FrameDecoder.h"

#include <cstring>

#include "CodecFrame.h"

void CFrameDecoder::Decode(const std::uint8_t* code, std::int16_t* pcm) {
  const OrvaFrame::Fields fields = OrvaFrame::Unpack(code);
  if (fields.restart) {
    // The encoder started afresh here; start afresh too, whatever came before.
    m_lpc.Reset();
  }
  m_lpc.Update();
  const double step = OrvaFrame::Step(fields.stepIndex);
  constexpr int order = CBackwardLpc::kOrder;
  std::int16_t buffer[order + OrvaFrame::kSamples];
  std::memcpy(buffer, m_lpc.Tail(), sizeof(std::int16_t) * order);
  for (int n = 0; n < OrvaFrame::kSamples; ++n) {
    const double prediction = m_lpc.Predict(buffer + order + n - 1);
    buffer[order + n] =
        static_cast<std::int16_t>(OrvaFrame::Reconstruct(prediction, fields.codes[static_cast<std::size_t>(n)], step));
  }
  std::memcpy(pcm, buffer + order, sizeof(std::int16_t) * OrvaFrame::kSamples);
  m_lpc.Append(buffer + order, OrvaFrame::kSamples);
}
