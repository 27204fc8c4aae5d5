// An in-process audio system: devices with streams, volumes and mutes; processes that play
// test tones; process taps that silence what they capture; aggregate devices whose I/O procs are
// called with real float buffers. Every test runs on it, and so does the program when no desktop
// audio server is reachable.
//
// Threading: the backend calls and the control calls may come from any thread; one mutex guards
// the object table. Audio is rendered in periods of kPeriodFrames frames on one 48 kHz clock,
// either on demand (render(), deterministic, on the calling thread) or paced like hardware by a
// thread of its own (startRealTime()). A period holds the mutex while it calls the I/O procs, so
// once AudioDeviceStop returns the proc is no longer running.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/audio/AudioBackend.h"
#include "platform/sim/DeviceMeter.h"
#include "platform/sim/Scenario.h"

namespace velmora::platform::sim {

// The backend calls a test can make fail; an enum so that a misspelt one does not compile.
enum class SimulatedCall {
  getPropertyDataSize,
  getPropertyData,  // also the text and text-list reads
  setPropertyData,
  createProcessTap,
  destroyProcessTap,
  createAggregateDevice,
  destroyAggregateDevice,
  createIOProcID,
  destroyIOProcID,
  startDevice,
  stopDevice,
};

class SimulatedAudioSystem final : public AudioBackend {
 public:
  static constexpr uint32_t kPeriodFrames = 512;
  static constexpr double kClockRate = 48000.0;

  explicit SimulatedAudioSystem(const Scenario& scenario);
  ~SimulatedAudioSystem() override;
  SimulatedAudioSystem(const SimulatedAudioSystem&) = delete;
  SimulatedAudioSystem& operator=(const SimulatedAudioSystem&) = delete;

  // AudioBackend.
  bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override;
  OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              bool* settable) override;
  OSStatus getPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                               uint32_t* size) override;
  OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           uint32_t* size, void* data) override;
  OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           uint32_t qualifierSize, const void* qualifier, uint32_t dataSize,
                           const void* data) override;
  OSStatus getPropertyString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::string* value) override;
  OSStatus getPropertyStrings(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              std::vector<std::string>* value) override;
  OSStatus createProcessTap(const TapDescription& description, AudioObjectID* tap) override;
  OSStatus destroyProcessTap(AudioObjectID tap) override;
  OSStatus createAggregateDevice(const AggregateDeviceDescription& description,
                                 AudioObjectID* device) override;
  OSStatus destroyAggregateDevice(AudioObjectID device) override;
  OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOProc proc, void* clientData,
                          AudioDeviceIOProcID* outID) override;
  OSStatus destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID id) override;
  OSStatus startDevice(AudioObjectID device, AudioDeviceIOProcID id) override;
  OSStatus stopDevice(AudioObjectID device, AudioDeviceIOProcID id) override;
  std::optional<std::string> processPath(int32_t pid) override;

  // The machine, changed at run time by tests and demos.
  AudioObjectID addDevice(const ScenarioDevice& device);
  bool removeDevice(const std::string& uid);
  // Unplugs and plugs again: the same device under a new object id, optionally changed.
  AudioObjectID reconnectDevice(const std::string& uid,
                                const std::optional<ScenarioDevice>& as = {});
  bool setDeviceAlive(const std::string& uid, bool alive);
  bool setDefaultDevice(const std::string& uid, bool input);
  AudioObjectID addProcess(const ScenarioProcess& process);
  bool removeProcess(int32_t pid);
  bool addTone(int32_t pid, const Tone& tone);  // the process opens another stream
  bool setPlaying(int32_t pid, bool playing);

  // Faults. A status for a call the next `times` times it is made (negative: always).
  void failCall(SimulatedCall call, OSStatus status, int times = -1);
  // A status for reads of one property selector on any object, in one scope or any (0), after
  // letting the first `skip` such reads through.
  void failProperty(AudioObjectPropertySelector selector, OSStatus status, int times = -1,
                    AudioObjectPropertyScope scope = 0, int skip = 0);
  // The format every new tap reports.
  void setTapFormat(const AudioStreamBasicDescription& format);
  // New aggregates show no output streams (nor output channels) for their first `looks` looks at
  // the output stream list: a size query or a read of the data, whichever the caller makes.
  void delayAggregateOutputs(int looks);
  // New aggregates report this many more output channels than their sub-devices have.
  void setAggregateChannelSurplus(int channels);
  // Started I/O procs are never called (their taps still silence the processes).
  void setIOProcsSilent(bool silent);
  // I/O procs get one more output buffer of this many channels than their aggregate has.
  void setStrayOutputChannels(uint32_t channels);

  // Sound.
  void render(uint32_t periods = 1);
  void startRealTime();
  void stopRealTime();
  // What a device played; an empty meter for an unknown UID.
  DeviceMeter meter(const std::string& uid) const;

  // Look-ups for tests and for the other simulated services.
  AudioObjectID deviceID(const std::string& uid) const;
  AudioObjectID processObjectID(int32_t pid) const;
  std::optional<RunningApplication> runningApplication(int32_t pid) const;
  std::vector<TapDescription> taps() const;
  std::vector<AggregateDeviceDescription> aggregates() const;
  // Stream-usage words last written for an aggregate's I/O proc (empty when never written).
  std::vector<uint32_t> streamUsage(AudioObjectID aggregate) const;
  // How many platform objects (taps, aggregates, I/O procs) exist: 0 once everything is torn down.
  size_t liveProcessingObjects() const;
  uint64_t periodsRendered() const;

  static AudioStreamBasicDescription floatFormat(uint32_t channels, bool interleaved = true);

 private:
  struct Stream {
    AudioObjectID id = 0;
    uint32_t channels = 0;
    AudioStreamBasicDescription format{};
  };
  struct IOProc {
    AudioDeviceIOProcID id = nullptr;
    AudioDeviceIOProc proc = nullptr;
    void* clientData = nullptr;
    bool started = false;
    std::vector<uint32_t> streamUsage;
  };
  struct Aggregate {
    AggregateDeviceDescription description;
    std::vector<AudioObjectID> subDevices;  // present at creation, in order
    AudioObjectID tap = 0;
    int outputLooksUntilReady = 0;
    int channelSurplus = 0;
    std::vector<IOProc> procs;
  };
  struct Device {
    AudioObjectID id = 0;
    ScenarioDevice config;
    std::vector<Stream> outputStreams;
    std::vector<Stream> inputStreams;
    std::optional<Aggregate> aggregate;
    DeviceMeter meter;
  };
  struct Process {
    AudioObjectID id = 0;
    ScenarioProcess config;
    std::vector<double> phases;  // one per tone
  };
  struct Tap {
    AudioObjectID id = 0;
    TapDescription description;
    std::string uid;
    AudioStreamBasicDescription format{};
  };

  struct Failure {
    OSStatus status = 0;
    int remaining = -1;
    int skip = 0;
  };

  AudioObjectID nextID();
  Stream makeStream(uint32_t channels);
  AudioObjectID addDeviceLocked(const ScenarioDevice& config);
  void removeDeviceLocked(AudioObjectID id);
  Device* findDevice(AudioObjectID id);
  Device* findDeviceByUID(const std::string& uid);
  const Device* findDeviceByUID(const std::string& uid) const;
  Process* findProcessByPID(int32_t pid);
  const Process* findProcessByPID(int32_t pid) const;
  static bool consume(Failure& failure, OSStatus* status);
  OSStatus callFailure(SimulatedCall call);
  std::optional<OSStatus> propertyFailure(const AudioObjectPropertyAddress& address);
  OSStatus readProperty(AudioObjectID object, const AudioObjectPropertyAddress& address,
                        std::vector<uint8_t>* bytes);
  OSStatus setProcStarted(AudioObjectID device, AudioDeviceIOProcID id, bool started,
                          SimulatedCall call);
  bool tapIsRead(const Tap& tap) const;
  void renderPeriod();
  void runRealTime();

  mutable std::mutex mutex_;
  AudioObjectID lastID_ = 99;
  AudioObjectID defaultOutput_ = 0;
  AudioObjectID defaultInput_ = 0;
  std::map<AudioObjectID, Device> devices_;
  std::map<AudioObjectID, Process> processes_;
  std::map<AudioObjectID, Tap> taps_;
  std::map<AudioObjectID, AudioStreamBasicDescription> streamFormats_;
  uintptr_t lastProcID_ = 0;
  std::map<SimulatedCall, Failure> callFailures_;
  // Keyed by selector and scope; scope 0 stands for any.
  std::map<std::pair<AudioObjectPropertySelector, AudioObjectPropertyScope>, Failure>
      propertyFailures_;
  std::optional<AudioStreamBasicDescription> tapFormat_;
  int aggregateOutputDelay_ = 0;
  int aggregateChannelSurplus_ = 0;
  bool ioProcsSilent_ = false;
  uint32_t strayOutputChannels_ = 0;
  uint64_t periods_ = 0;
  uint64_t tapCounter_ = 0;

  std::atomic<bool> realTime_{false};
  std::thread realTimeThread_;
};

}  // namespace velmora::platform::sim
