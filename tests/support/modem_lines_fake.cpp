#include "support/modem_lines_fake.h"

namespace vandrel::test {

std::string LineCallName(std::uint32_t function) {
    switch (function) {
    case serial::win::SETRTS: return "SETRTS";
    case serial::win::CLRRTS: return "CLRRTS";
    case serial::win::SETDTR: return "SETDTR";
    case serial::win::CLRDTR: return "CLRDTR";
    default: return "ESC" + std::to_string(function);
    }
}

bool RecordingModemLines::Change(const std::string& name) {
    if (escapeFails(name, escapes++)) {
        calls.push_back("!" + name);
        return false;
    }
    calls.push_back(name);
    return true;
}

bool RecordingModemLines::EscapeCommFunction(std::uint32_t function) { return Change(LineCallName(function)); }

bool RecordingModemLines::GetCommModemStatus(std::uint32_t& status) {
    calls.push_back("STATUS");
    const int query = statusQueries++;
    if (statusFails(query)) {
        status = statusLeftOnFailure;
        return false;
    }
    status = cts(query) ? serial::win::MS_CTS_ON : 0;
    return true;
}

bool RecordingModemLines::SetCommBreak() { return Change("BREAK"); }

bool RecordingModemLines::ClearCommBreak() { return Change("NOBREAK"); }

bool PeerModemLines::EscapeCommFunction(std::uint32_t function) {
    if (record)
        calls.push_back(LineCallName(function));
    peer_->OnEscape(function);
    return true;
}

bool PeerModemLines::GetCommModemStatus(std::uint32_t& status) {
    if (record)
        calls.push_back("STATUS");
    status = peer_->ModemStatus();
    return true;
}

bool PeerModemLines::SetCommBreak() {
    if (record)
        calls.push_back("BREAK");
    peer_->OnBreak(true);
    return true;
}

bool PeerModemLines::ClearCommBreak() {
    if (record)
        calls.push_back("NOBREAK");
    peer_->OnBreak(false);
    return true;
}

} // namespace vandrel::test
