// The program's object ids for server objects. The server hands a freed global id to the next
// object at once, so its ids never reach the program: each table maps a key that identifies one
// thing for its whole life to an id from one counter, and a retired key never gets its id back.
//
// Threading: none of its own; the backend uses it on its loop thread or under the loop lock.
#pragma once

#include <map>

#include "platform/audio/AudioTypes.h"

namespace velmora::platform::pipewire {

class IdCounter {
 public:
  AudioObjectID next() { return ++last_; }

 private:
  AudioObjectID last_ = 99;  // below are the system object and the program's own
};

template <class Key>
class IdTable {
 public:
  explicit IdTable(IdCounter& counter) : counter_(counter) {}

  AudioObjectID idFor(const Key& key) {
    const auto [entry, added] = ids_.try_emplace(key, 0);
    if (added) {
      entry->second = counter_.next();
      keys_.emplace(entry->second, key);
    }
    return entry->second;
  }
  AudioObjectID find(const Key& key) const {
    const auto found = ids_.find(key);
    return found == ids_.end() ? AudioObjectID(kAudioObjectUnknown) : found->second;
  }
  const Key* keyOf(AudioObjectID id) const {
    const auto found = keys_.find(id);
    return found == keys_.end() ? nullptr : &found->second;
  }
  void retire(const Key& key) {
    if (const auto found = ids_.find(key); found != ids_.end()) {
      keys_.erase(found->second);
      ids_.erase(found);
    }
  }
  void clear() {
    ids_.clear();
    keys_.clear();
  }
  const std::map<Key, AudioObjectID>& entries() const { return ids_; }

 private:
  IdCounter& counter_;
  std::map<Key, AudioObjectID> ids_;
  std::map<AudioObjectID, Key> keys_;
};

}  // namespace velmora::platform::pipewire
