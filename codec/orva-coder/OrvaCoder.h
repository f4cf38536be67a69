#pragma once

// The melody codec: 32 samples of 14-bit, 16 kHz mono audio to 9 bytes and back
// (36 kbit/s). The encoder and decoder keep their state between calls; the init calls
// reset it. Loaded at run time by file name; every entry point has C linkage.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ORVA_EXPORT __attribute__((visibility("default")))

ORVA_EXPORT void vOrva_Init_Dsp_Regs(void);
ORVA_EXPORT void vOrva_Init_Encoder(void);
ORVA_EXPORT void vOrva_Init_Decoder(void);
// pcm: 32 samples in -8192..8191 (read); code: 9 bytes (written).
ORVA_EXPORT void vOrva_Encode(const int16_t* pcm, uint8_t* code);
// pcm: 32 samples (written); code: 9 bytes (read).
ORVA_EXPORT void vOrva_Decode(int16_t* pcm, const uint8_t* code);

#ifdef __cplusplus
}
#endif
