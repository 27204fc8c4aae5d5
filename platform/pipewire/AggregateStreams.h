// The server side of one aggregate device: a capture stream that the tapped applications'
// streams are moved into, and one playback stream per output device, all in one node group so
// that a single driver runs them. The capture's real-time callback calls the I/O proc once per
// cycle with the tap input and every output, then triggers the outputs in the same cycle.
//
// Threading: everything but the callback runs under the connection's loop lock. The callback
// runs on the data thread; it allocates, locks and waits for nothing: its lists and scratch
// memory are made here, and it sees the proc only through `running_` (release/acquire).
#pragma once

#include <pipewire/pipewire.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/AudioTypes.h"

namespace velmora::platform::pipewire {

// The prefix of every node the program makes for processing; the mirror leaves them out.
inline constexpr const char* kAggregateNodePrefix = "com.local.Ombrel.aggregate.";

struct OutputTarget {
  std::string nodeName;
  uint32_t channels = 2;
};

class AggregateStreams {
 public:
  // Without `trigger` the outputs are scheduled by the graph (correct, one to three quanta
  // later); with it they are pushed in the capture's cycle.
  AggregateStreams(pw_core* core, pw_context* context, const std::string& uid,
                   const std::string& description, const std::vector<OutputTarget>& outputs,
                   bool trigger);
  ~AggregateStreams();
  AggregateStreams(const AggregateStreams&) = delete;
  AggregateStreams& operator=(const AggregateStreams&) = delete;

  // The server's node ids; SPA_ID_INVALID until the node exists.
  uint32_t captureNode() const;
  uint32_t outputNode(size_t index) const;
  size_t outputCount() const { return outputs_.size(); }

  // Only while stopped.
  void setProc(AudioObjectID device, AudioDeviceIOProc proc, void* clientData);
  void start();
  // Returns once no call of the proc is in flight; none follows.
  void stop();
  bool running() const { return running_.load(std::memory_order_relaxed); }

  // The connection is going away: the streams go now, before their core.
  void release();

 private:
  struct Output {
    pw_stream* stream = nullptr;
    uint32_t channels = 2;
  };

  static void onProcess(void* data);
  void process();

  pw_context* context_;
  bool trigger_;
  pw_stream* capture_ = nullptr;
  spa_hook captureListener_{};
  std::vector<std::unique_ptr<Output>> outputs_;

  AudioObjectID device_ = 0;
  AudioDeviceIOProc proc_ = nullptr;
  void* clientData_ = nullptr;
  std::atomic<bool> running_{false};

  // The callback's own memory, made before the streams connect.
  std::vector<pw_buffer*> dequeued_;
  std::vector<uint8_t> inputList_;
  std::vector<uint8_t> outputList_;
  std::vector<float> silence_;
};

}  // namespace velmora::platform::pipewire
