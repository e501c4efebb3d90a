#include "zip/ExtractionSlot.h"

#include <algorithm>
#include <iterator>
#include <tuple>
#include <utility>

namespace vaultpack {

namespace {

// `value` as new, except that the named strings and vectors keep their
// buffers, emptied, for the next entry.
template <typename T, typename... Buffer>
void Renew(T& value, Buffer T::*... buffers) {
    std::tuple kept{std::move(value.*buffers)...};
    value = T();
    std::apply([&](auto&... buffer) { ((value.*buffers = std::move(buffer), (value.*buffers).clear()), ...); }, kept);
}

}  // namespace

void ExtractionSlot::Keep() {
    created = false;
    UnregisterTemporaryPath(std::exchange(registration, -1));
}

// The registration points at `made`, whose name is place.name's and whose
// folder place.folder holds open: it goes before either changes.
void ExtractionSlot::Release() {
    if (std::exchange(created, false)) {
        RemoveMadeFile(made);
    }
    UnregisterTemporaryPath(std::exchange(registration, -1));
}

void ExtractionSlot::Reset() {
    Release();
    Renew(record, &CentralRecord::rawName, &CentralRecord::extra);
    Renew(info, &ZipEntryInfo::name);
    Renew(decision, &EntryDecision::target);
    Renew(place, &EntryWriter::Place::name, &EntryWriter::Place::path);
    folder.clear();
    hashes.clear();
    unknownPaths = fileFree = foldersFree = false;
    made = MadeFile();
}

void SlotPool::Give(std::vector<SlotPointer>& slots) {
    const std::lock_guard lock(mutex_);
    free_.insert(free_.end(), std::make_move_iterator(slots.begin()), std::make_move_iterator(slots.end()));
    slots.clear();
}

void SlotPool::Take(std::vector<SlotPointer>& into, std::size_t most) {
    const std::lock_guard lock(mutex_);
    const auto count = static_cast<std::ptrdiff_t>(std::min(most, free_.size()));
    into.insert(into.end(), std::make_move_iterator(free_.end() - count), std::make_move_iterator(free_.end()));
    free_.erase(free_.end() - count, free_.end());
}

}  // namespace vaultpack
