// Feeds the render cycle buffer lists of every shape: buffer and channel counts, byte sizes that
// are not whole frames, absent data, absurd channel counts, odd route configurations. Each buffer
// is allocated to exactly its byte size, so AddressSanitizer sees any access outside it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/ProcessingCore.h"

namespace {

struct OwnedList {
  AudioBufferList* list = nullptr;
  std::vector<void*> blocks;
  ~OwnedList() {
    for (void* block : blocks) std::free(block);
    std::free(list);
  }
};

uint32_t pickChannels(FuzzedDataProvider& in) {
  static constexpr uint32_t kChoices[] = {0, 1, 2, 3, 8, 9, 0x40000000u, 0xFFFFFFFFu};
  return in.PickValueInArray(kChoices);
}

void buildList(FuzzedDataProvider& in, OwnedList& owned) {
  const uint32_t count = in.ConsumeIntegralInRange<uint32_t>(0, 6);
  owned.list = static_cast<AudioBufferList*>(std::calloc(1, AudioBufferListSize(count)));
  owned.list->numberBuffers = count;
  for (uint32_t i = 0; i < count; ++i) {
    AudioBuffer& buffer = owned.list->buffers[i];
    buffer.numberChannels = pickChannels(in);
    const uint32_t frames = in.ConsumeIntegralInRange<uint32_t>(0, 600);
    const uint32_t slack = in.ConsumeIntegralInRange<uint32_t>(0, 3);
    const uint64_t channels = buffer.numberChannels > 8 ? 1 : buffer.numberChannels;
    buffer.dataByteSize = uint32_t(frames * channels * sizeof(float) + slack);
    if (in.ConsumeBool() || buffer.dataByteSize == 0) continue;  // no data
    void* block = std::malloc(buffer.dataByteSize);
    const auto bytes = in.ConsumeBytes<uint8_t>(buffer.dataByteSize);
    std::memset(block, 0, buffer.dataByteSize);
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    owned.blocks.push_back(block);
    buffer.data = block;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  OMState* state =
      OMCreateState(in.ConsumeIntegralInRange<uint32_t>(0, 4), in.ConsumeFloatingPoint<float>(),
                    in.ConsumeFloatingPoint<double>());
  const int routes = in.ConsumeIntegralInRange<int>(0, 5);
  for (int r = 0; r < routes; ++r) {
    OMConfigureRoute(state, in.ConsumeIntegralInRange<uint32_t>(0, 4),
                     in.ConsumeIntegralInRange<uint32_t>(0, 9),
                     in.ConsumeIntegralInRange<uint32_t>(0, 3));
    const float gains[5] = {in.ConsumeFloatingPoint<float>(), 12.0f, -12.0f, 0.0f, 3.0f};
    OMSetRouteEQ(state, uint32_t(r), in.ConsumeBool(), gains);
    OMSetRouteBoost(state, uint32_t(r), in.ConsumeFloatingPoint<float>());
  }
  OwnedList input;
  OwnedList output;
  buildList(in, input);
  buildList(in, output);
  const bool noInput = in.ConsumeBool();
  for (int pass = 0; pass < 2; ++pass) OMRender(state, noInput ? nullptr : input.list, output.list);
  OMDestroyState(state);
  return 0;
}
