// The exported entry points over one process-wide encoder and decoder.
#include "OrvaCoder.h"

#include "FrameDecoder.h"
#include "FrameEncoder.h"

namespace {

CFrameEncoder& Encoder() {
  static CFrameEncoder encoder;
  return encoder;
}

CFrameDecoder& Decoder() {
  static CFrameDecoder decoder;
  return decoder;
}

}  // namespace

extern "C" {

void vOrva_Init_Dsp_Regs(void) {
  Encoder().Reset();
  Decoder().Reset();
}

void vOrva_Init_Encoder(void) {
  Encoder().Reset();
}

void vOrva_Init_Decoder(void) {
  Decoder().Reset();
}

void vOrva_Encode(const int16_t* pcm, uint8_t* code) {
  if (pcm != nullptr && code != nullptr) {
    Encoder().Encode(pcm, code);
  }
}

void vOrva_Decode(int16_t* pcm, const uint8_t* code) {
  if (pcm != nullptr && code != nullptr) {
    Decoder().Decode(code, pcm);
  }
}

}  // extern "C"
