// Random buffer layouts against an independent model of which layouts render: a render either
// fills every route from the tap or leaves silence and the meters alone (counting a fault per
// callback when the layout is wrong), and never writes outside the buffers it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>

#include "CoreTestSupport.h"

namespace {

using velmora::test::BufferList;
using velmora::test::BufferSpec;

enum class Outcome { render, silence, fault };

struct Layout {
  uint32_t taps = 1;
  std::vector<std::array<uint32_t, 3>> routes;  // route, first, count
  std::vector<BufferSpec> input;
  std::vector<BufferSpec> output;
};

struct Expected {
  Outcome outcome;
  uint32_t frames = 0;
  std::vector<std::pair<uint32_t, uint32_t>> routes = {};  // first, count, after auto-config
};

Expected model(const Layout& l) {
  if (l.taps == 0 || l.input.size() < l.taps) return {Outcome::fault};
  uint64_t frames = UINT64_MAX;
  uint64_t tapChannels = 0;
  for (size_t i = l.input.size() - l.taps; i < l.input.size(); ++i) {
    const BufferSpec& b = l.input[i];
    if (b.channels == 0 || !b.hasData) return {Outcome::silence};
    if (b.byteSize() % (uint64_t(b.channels) * 4) != 0) return {Outcome::fault};
    frames = std::min<uint64_t>(frames, b.byteSize() / (uint64_t(b.channels) * 4));
    tapChannels += b.channels;
    if (tapChannels > 2) return {Outcome::fault};
  }
  uint64_t outChannels = 0;
  for (const BufferSpec& b : l.output) {
    if (b.channels == 0) continue;
    if (b.byteSize() % (uint64_t(b.channels) * 4) != 0) return {Outcome::fault};
    if (b.hasData) frames = std::min<uint64_t>(frames, b.byteSize() / (uint64_t(b.channels) * 4));
    outChannels += b.channels;
    if (outChannels > 8) return {Outcome::fault};
  }
  if (l.output.empty() || outChannels == 0) return {Outcome::silence};
  std::vector<std::pair<uint32_t, uint32_t>> routes(4, {0, 0});
  size_t routeCount = 1;
  for (const auto& [route, first, count] : l.routes) {
    routes[route] = {first, count};
    routeCount = std::max<size_t>(routeCount, route + 1);
  }
  routes.resize(routeCount);
  if (routes[0].second == 0) {
    if (outChannels > 2) return {Outcome::fault};
    routes[0] = {0, uint32_t(outChannels)};
  }
  uint32_t next = 0;
  for (const auto& [first, count] : routes) {
    if (count == 0 || first != next) return {Outcome::fault};
    next += count;
  }
  if (next != outChannels) return {Outcome::fault};
  return {Outcome::render, uint32_t(frames), routes};
}

Layout randomLayout(std::mt19937& random) {
  auto pick = [&](uint32_t n) { return uint32_t(random() % n); };
  auto channels = [&](uint32_t usual) {
    const uint32_t roll = pick(20);
    if (roll == 0) return 0u;
    if (roll == 1) return 0x40000000u;
    if (roll == 2) return 3u + pick(7);
    return 1 + pick(usual);
  };
  auto buffer = [&](uint32_t usualChannels) {
    BufferSpec b;
    b.channels = channels(usualChannels);
    b.frames = pick(5) == 0 ? 0 : 1 + pick(300);
    b.hasData = pick(8) != 0;
    b.extraBytes = pick(6) == 0 ? 1 + pick(3) : 0;
    return b;
  };
  Layout l;
  l.taps = pick(10) == 0 ? pick(4) : 1 + pick(2);
  // Usually the tap buffers, sometimes hardware inputs in front, sometimes one too few.
  uint32_t inputs = l.taps + (pick(4) == 0 ? pick(3) : 0);
  if (inputs > 0 && pick(20) == 0) --inputs;
  for (uint32_t i = 0; i < inputs; ++i) l.input.push_back(buffer(l.taps == 1 ? 2 : 1));
  const uint32_t outputs = pick(12) == 0 ? 0 : 1 + pick(4);
  uint32_t channelTotal = 0;
  for (uint32_t i = 0; i < outputs; ++i) {
    l.output.push_back(buffer(2));
    channelTotal += l.output.back().channels;
  }
  if (pick(3) != 0 && channelTotal <= 8) {
    // Routes that cover the output exactly, one or two channels each, as the engine configures.
    uint32_t first = 0;
    for (uint32_t route = 0; route < 4 && first < channelTotal; ++route) {
      const uint32_t count = std::min(channelTotal - first, 1 + pick(2));
      l.routes.push_back({route, first, count});
      first += count;
    }
  } else {
    for (uint32_t r = pick(3); r > 0; --r) l.routes.push_back({pick(4), pick(8), 1 + pick(2)});
    std::erase_if(l.routes, [](const auto& r) { return r[1] + r[2] > 8; });
  }
  return l;
}

TEST(RandomLayouts, RenderFillsRoutesOrLeavesSilenceAndStaysInsideBuffers) {
  std::mt19937 random(20261206);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  for (int trial = 0; trial < 4000; ++trial) {
    const Layout layout = randomLayout(random);
    SCOPED_TRACE(trial);
    auto state = velmora::test::makeState(layout.taps, 1.0f, 48000.0);
    for (const auto& [route, first, count] : layout.routes) {
      ASSERT_TRUE(OMConfigureRoute(state.get(), route, first, count));
    }
    BufferList in(layout.input);
    BufferList out(layout.output);
    for (uint32_t b = 0; b < layout.input.size(); ++b) {
      if (in.buffer(b).data == nullptr) continue;
      for (uint32_t s = 0; s < in.buffer(b).dataByteSize / 4; ++s)
        in.samples(b)[s] = sample(random);
    }
    out.fill(3.0f);
    state->routes[0].peak = 0.125f;
    state->inputPeak = 0.25f;
    // Twice: a fault is counted per callback, and the same input renders the same output.
    for (int callback = 0; callback < 2; ++callback) OMRender(state.get(), in.get(), out.get());
    ASSERT_TRUE(out.guardsIntact());
    ASSERT_TRUE(in.guardsIntact());

    const Expected expected = model(layout);
    ASSERT_EQ(OMCallbackCount(state.get()), 2u);
    ASSERT_EQ(OMFaultCount(state.get()), expected.outcome == Outcome::fault ? 2u : 0u);
    if (expected.outcome != Outcome::render) {
      ASSERT_EQ(state->routes[0].peak, 0.125f) << "peaks untouched by a callback that renders none";
      ASSERT_EQ(state->inputPeak, 0.25f);
    }
    // The tap: the last buffers of the input list, left then right (mono feeds both).
    const uint32_t firstTap = uint32_t(layout.input.size()) - layout.taps;
    const auto tap = [&](uint32_t frame, uint32_t side) {
      if (in.buffer(firstTap).numberChannels == 2) return in.at(firstTap, frame, side);
      return in.at(firstTap + std::min(side, layout.taps - 1), frame, 0);
    };
    uint32_t base = 0;  // the buffer's first channel among all output channels
    for (uint32_t b = 0; b < layout.output.size(); base += layout.output[b++].channels) {
      const AudioBuffer& buffer = out.buffer(b);
      const uint32_t stride = std::max(buffer.numberChannels, 1u);
      for (uint32_t s = 0; buffer.data != nullptr && s < buffer.dataByteSize / 4; ++s) {
        const uint32_t frame = s / stride;
        const uint32_t index = buffer.numberChannels == 0 ? ~0u : base + s % stride;
        float want = 0.0f;
        for (const auto& [first, count] : expected.routes) {
          if (frame >= expected.frames) break;
          if (index == first)
            want = count == 1 ? (tap(frame, 0) + tap(frame, 1)) * 0.5f : tap(frame, 0);
          if (count == 2 && index == first + 1) want = tap(frame, 1);
        }
        ASSERT_EQ(out.samples(b)[s], want) << "buffer " << b << " word " << s;
      }
    }
  }
}

}  // namespace
