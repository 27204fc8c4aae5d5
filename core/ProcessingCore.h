// The processing core: one state per tapped application, steered from the engine's queue and
// rendered on the aggregate device's real-time I/O thread. A flat C interface; nothing here
// allocates, locks or calls the operating system after OMCreateState.
//
// Threading: the engine calls the setters and read-outs while the I/O thread renders. Targets
// are single 32-bit words read once per callback; eqEnabled is stored with release and loaded
// with acquire ordering after the band gains; the two counters are relaxed atomics. Fields
// marked "render thread" are written by the render cycle only. OMConfigureRoute and
// OMDestroyState must not run while a render may.
#ifndef VELMORA_CORE_PROCESSING_CORE_H
#define VELMORA_CORE_PROCESSING_CORE_H

#include <stdbool.h>
#include <stdint.h>

#include "platform/audio/AudioTypes.h"

#if defined(__cplusplus)
extern "C" {
#endif

#define OM_EXPORT __attribute__((visibility("default")))

enum { OMRouteLimit = 4, OMOutputChannelLimit = 8, OMBandCount = 5 };

// One peaking section, coefficients normalised to a0 = 1, transposed direct form II state per
// channel (0 = left, 1 = right).
typedef struct OMBiquad {
  double b0, b1, b2, a1, a2;
  double z1[2];
  double z2[2];
} OMBiquad;

typedef struct OMRoute {
  uint32_t firstChannel;
  uint32_t channelCount;  // 1 or 2; 0 = not configured
  float gain;             // target, 0...1
  float boost;            // target, 1...2
  float peak;             // render thread: last callback's largest output sample
  float eqGains[5];       // targets in dB, -12...+12
  uint32_t eqEnabled;     // atomic: release store after eqGains, acquire load
  float smoothedGain;     // render thread, from here on
  float smoothedBoost;
  float smoothedEQ[5];
  float preGain;
  uint32_t eqActive;
  OMBiquad stages[5];
} OMRoute;

typedef struct OMState {
  float gain;              // master target, 0...1
  float inputPeak;         // render thread
  float outputPeak;        // render thread
  uint64_t callbackCount;  // atomic, relaxed
  uint64_t faultCount;     // atomic, relaxed
  float smoothedGain;      // render thread
  float rampStep;
  double sampleRate;
  uint32_t tapBufferCount;
  uint32_t routeCount;
  uint32_t filterKernel;  // an OMFilterKernel; calloc's 0 is the CPU's best
  OMRoute routes[4];
} OMState;

// Which code filters two EQ routes at once. Both give the same samples; tests pin each in turn to
// compare them on the same data.
enum OMFilterKernel { OMFilterKernelBest = 0, OMFilterKernel128 = 1, OMFilterKernelAVX = 2 };

OM_EXPORT OMState* OMCreateState(uint32_t tapBufferCount, float gain, double sampleRate);
OM_EXPORT void OMDestroyState(OMState* state);

OM_EXPORT void OMSetGain(OMState* state, float gain);
OM_EXPORT bool OMConfigureRoute(OMState* state, uint32_t route, uint32_t firstChannel,
                                uint32_t channelCount);
OM_EXPORT void OMSetRouteGain(OMState* state, uint32_t route, float gain);
OM_EXPORT void OMSetRouteBoost(OMState* state, uint32_t route, float boost);
OM_EXPORT void OMSetRouteEQ(OMState* state, uint32_t route, bool enabled, const float* gains);

OM_EXPORT float OMInputPeak(const OMState* state);
OM_EXPORT float OMOutputPeak(const OMState* state);
OM_EXPORT float OMRoutePeak(const OMState* state, uint32_t route);
OM_EXPORT uint64_t OMCallbackCount(const OMState* state);
OM_EXPORT uint64_t OMFaultCount(const OMState* state);

// Real-time: one render cycle from the tap buffers at the end of `input` into `output`.
OM_EXPORT void OMRender(OMState* state, const AudioBufferList* input, AudioBufferList* output);

// The I/O proc registered on a session's aggregate device; the client data is the state.
OM_EXPORT OSStatus OMIOProc(AudioObjectID device, const AudioTimeStamp* now,
                            const AudioBufferList* inputData, const AudioTimeStamp* inputTime,
                            AudioBufferList* outputData, const AudioTimeStamp* outputTime,
                            void* clientData);

OM_EXPORT OSStatus OMRegisterIOProc(AudioObjectID device, OMState* state,
                                    AudioDeviceIOProcID* outID);

// Switches on only the last tapStreamCount of the device's inputStreamCount input streams.
OM_EXPORT OSStatus OMEnableTapInputsOnly(AudioObjectID device, AudioDeviceIOProcID ioProc,
                                         uint32_t inputStreamCount, uint32_t tapStreamCount);

// Writes the process's executable path, NUL-terminated, into buffer; returns its length, or 0
// when the process is unknown or the path does not fit.
OM_EXPORT int32_t OMProcessPath(int32_t pid, char* buffer, uint32_t bufferSize);

#if defined(__cplusplus)
}
#endif

#endif
