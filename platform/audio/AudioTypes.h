// The value types of the platform audio layer: object ids, statuses, property addresses, buffer
// lists, I/O procs. Plain C so that the processing core's C interface can carry them unchanged.
#ifndef VELMORA_PLATFORM_AUDIO_AUDIO_TYPES_H
#define VELMORA_PLATFORM_AUDIO_AUDIO_TYPES_H

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
extern "C" {
#endif

typedef int32_t OSStatus;
typedef uint32_t AudioObjectID;
typedef uint32_t AudioObjectPropertySelector;
typedef uint32_t AudioObjectPropertyScope;
typedef uint32_t AudioObjectPropertyElement;

#define VELMORA_FOUR_CHAR_CODE(a, b, c, d) \
  ((int32_t)(((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d)))

// Statuses: 0 is success, everything else names what went wrong.
enum {
  kAudioHardwareNoError = 0,
  kAudioHardwareNotRunningError = VELMORA_FOUR_CHAR_CODE('s', 't', 'o', 'p'),
  kAudioHardwareUnspecifiedError = VELMORA_FOUR_CHAR_CODE('w', 'h', 'a', 't'),
  kAudioHardwareIllegalOperationError = VELMORA_FOUR_CHAR_CODE('n', 'o', 'p', 'e'),
  kAudioHardwareBadObjectError = VELMORA_FOUR_CHAR_CODE('!', 'o', 'b', 'j'),
  kAudioHardwareUnknownPropertyError = VELMORA_FOUR_CHAR_CODE('w', 'h', 'o', '?'),
  kAudioHardwareBadPropertySizeError = VELMORA_FOUR_CHAR_CODE('!', 's', 'i', 'z'),
  kAudio_ParamError = -50
};

enum { kAudioObjectUnknown = 0, kAudioObjectSystemObject = 1 };

enum {
  kAudioObjectPropertyScopeGlobal = VELMORA_FOUR_CHAR_CODE('g', 'l', 'o', 'b'),
  kAudioObjectPropertyScopeInput = VELMORA_FOUR_CHAR_CODE('i', 'n', 'p', 't'),
  kAudioObjectPropertyScopeOutput = VELMORA_FOUR_CHAR_CODE('o', 'u', 't', 'p'),
  kAudioObjectPropertyElementMain = 0
};

// Property selectors.
enum {
  kAudioHardwarePropertyDevices = VELMORA_FOUR_CHAR_CODE('d', 'e', 'v', '#'),
  kAudioHardwarePropertyProcessObjectList = VELMORA_FOUR_CHAR_CODE('p', 'r', 's', '#'),
  kAudioHardwarePropertyDefaultOutputDevice = VELMORA_FOUR_CHAR_CODE('d', 'O', 'u', 't'),
  kAudioHardwarePropertyDefaultInputDevice = VELMORA_FOUR_CHAR_CODE('d', 'I', 'n', ' '),
  kAudioDevicePropertyDeviceUID = VELMORA_FOUR_CHAR_CODE('u', 'i', 'd', ' '),
  kAudioDevicePropertyDeviceIsAlive = VELMORA_FOUR_CHAR_CODE('l', 'i', 'v', 'n'),
  kAudioObjectPropertyName = VELMORA_FOUR_CHAR_CODE('l', 'n', 'a', 'm'),
  kAudioDevicePropertyTransportType = VELMORA_FOUR_CHAR_CODE('t', 'r', 'a', 'n'),
  kAudioDevicePropertyStreamConfiguration = VELMORA_FOUR_CHAR_CODE('s', 'l', 'a', 'y'),
  kAudioDevicePropertyVolumeScalar = VELMORA_FOUR_CHAR_CODE('v', 'o', 'l', 'm'),
  kAudioDevicePropertyMute = VELMORA_FOUR_CHAR_CODE('m', 'u', 't', 'e'),
  kAudioDevicePropertyNominalSampleRate = VELMORA_FOUR_CHAR_CODE('n', 's', 'r', 't'),
  kAudioDevicePropertyStreams = VELMORA_FOUR_CHAR_CODE('s', 't', 'm', '#'),
  kAudioStreamPropertyVirtualFormat = VELMORA_FOUR_CHAR_CODE('s', 'f', 'm', 't'),
  kAudioDevicePropertyIOProcStreamUsage = VELMORA_FOUR_CHAR_CODE('s', 'u', 's', 'e'),
  kAudioAggregateDevicePropertyFullSubDeviceList = VELMORA_FOUR_CHAR_CODE('g', 'r', 'u', 'p'),
  kAudioProcessPropertyPID = VELMORA_FOUR_CHAR_CODE('p', 'p', 'i', 'd'),
  kAudioProcessPropertyBundleID = VELMORA_FOUR_CHAR_CODE('p', 'b', 'i', 'd'),
  kAudioProcessPropertyIsRunningOutput = VELMORA_FOUR_CHAR_CODE('p', 'i', 'r', 'o'),
  kAudioTapPropertyFormat = VELMORA_FOUR_CHAR_CODE('t', 'f', 'm', 't'),
  kAudioTapPropertyUID = VELMORA_FOUR_CHAR_CODE('t', 'u', 'i', 'd')
};

// Transport types of a device.
enum {
  kAudioDeviceTransportTypeBuiltIn = VELMORA_FOUR_CHAR_CODE('b', 'l', 't', 'n'),
  kAudioDeviceTransportTypeUSB = VELMORA_FOUR_CHAR_CODE('u', 's', 'b', ' '),
  kAudioDeviceTransportTypeBluetooth = VELMORA_FOUR_CHAR_CODE('b', 'l', 'u', 'e'),
  kAudioDeviceTransportTypeBluetoothLE = VELMORA_FOUR_CHAR_CODE('b', 'l', 'e', 'a'),
  kAudioDeviceTransportTypeHDMI = VELMORA_FOUR_CHAR_CODE('h', 'd', 'm', 'i'),
  kAudioDeviceTransportTypeDisplayPort = VELMORA_FOUR_CHAR_CODE('d', 'p', 'r', 't'),
  kAudioDeviceTransportTypeVirtual = VELMORA_FOUR_CHAR_CODE('v', 'i', 'r', 't'),
  kAudioDeviceTransportTypeAggregate = VELMORA_FOUR_CHAR_CODE('g', 'r', 'u', 'p')
};

// Stream formats.
enum {
  kAudioFormatLinearPCM = VELMORA_FOUR_CHAR_CODE('l', 'p', 'c', 'm'),
  kAudioFormatFlagIsFloat = 1,
  kAudioFormatFlagIsBigEndian = 2,
  kAudioFormatFlagIsNonInterleaved = 32
};

// The 40-byte description of a stream's samples.
typedef struct AudioStreamBasicDescription {
  double sampleRate;
  uint32_t formatID;
  uint32_t formatFlags;
  uint32_t bytesPerPacket;
  uint32_t framesPerPacket;
  uint32_t bytesPerFrame;
  uint32_t channelsPerFrame;
  uint32_t bitsPerChannel;
  uint32_t reserved;
} AudioStreamBasicDescription;

typedef struct AudioObjectPropertyAddress {
  AudioObjectPropertySelector selector;
  AudioObjectPropertyScope scope;
  AudioObjectPropertyElement element;
} AudioObjectPropertyAddress;

// One buffer of interleaved 32-bit float samples. `data` may be null (a stream that is off).
typedef struct AudioBuffer {
  uint32_t numberChannels;
  uint32_t dataByteSize;
  void* data;
} AudioBuffer;

// A count followed by that many buffers, laid out contiguously.
typedef struct AudioBufferList {
  uint32_t numberBuffers;
  AudioBuffer buffers[];
} AudioBufferList;

static inline size_t AudioBufferListSize(uint32_t numberBuffers) {
  return offsetof(AudioBufferList, buffers) + (size_t)numberBuffers * sizeof(AudioBuffer);
}

typedef struct AudioTimeStamp {
  double sampleTime;
  uint64_t hostTime;
  double rateScalar;
  uint32_t flags;
} AudioTimeStamp;

// Runs on the device's real-time I/O thread.
typedef OSStatus (*AudioDeviceIOProc)(AudioObjectID device, const AudioTimeStamp* now,
                                      const AudioBufferList* inputData,
                                      const AudioTimeStamp* inputTime, AudioBufferList* outputData,
                                      const AudioTimeStamp* outputTime, void* clientData);

// Handed out by the backend, unique for the run; null means none.
typedef struct AudioDeviceIOProcIDOpaque* AudioDeviceIOProcID;

// Which input streams an I/O proc receives: one on/off word per stream.
typedef struct AudioHardwareIOProcStreamUsage {
  AudioDeviceIOProcID ioProc;
  uint32_t numberStreams;
  uint32_t streamIsOn[];
} AudioHardwareIOProcStreamUsage;

static inline size_t AudioHardwareIOProcStreamUsageSize(uint32_t numberStreams) {
  return offsetof(AudioHardwareIOProcStreamUsage, streamIsOn) +
         (size_t)numberStreams * sizeof(uint32_t);
}

#if defined(__cplusplus)
}
#endif

#endif
