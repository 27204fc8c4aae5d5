// Access to the fields of OMState that two threads touch. The fields stay plain C types (the
// layout is part of the interface); every cross-thread access goes through std::atomic_ref.
#pragma once

#include <atomic>

namespace velmora::core {

template <class T>
inline T loadRelaxed(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <class T>
inline void storeRelaxed(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

template <class T>
inline T loadAcquire(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_acquire);
}

template <class T>
inline void storeRelease(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_release);
}

template <class T>
inline void incrementRelaxed(T& counter) {
  std::atomic_ref<T>(counter).fetch_add(1, std::memory_order_relaxed);
}

}  // namespace velmora::core
