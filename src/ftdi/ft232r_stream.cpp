#include "ftdi/ft232r_stream.h"

namespace vandrel::ftdi {

void Ft232rStream::Set(AdapterLine line, bool asserted) {
    pins_ = WithLine(pins_, line, asserted);
    bytes_.push_back(static_cast<std::uint8_t>(pins_ & OutputMask()));
}

void Ft232rStream::Hold(std::size_t count) {
    bytes_.insert(bytes_.end(), count, static_cast<std::uint8_t>(pins_ & OutputMask()));
}

void Ft232rStream::Sample() { samples_.push_back(bytes_.size()); }

Ft232rStream::Batch Ft232rStream::Take() {
    if (!samples_.empty() && samples_.back() == bytes_.size())
        Hold(1);
    Batch batch{std::move(bytes_), std::move(samples_)};
    bytes_.clear();
    samples_.clear();
    return batch;
}

} // namespace vandrel::ftdi
