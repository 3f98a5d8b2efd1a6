#include "cli/gang_display.h"

#include <algorithm>
#include <functional>
#include <streambuf>
#include <utility>

namespace vandrel::cli {

namespace {

constexpr std::int64_t kRedrawUs = 100'000;

// Whole lines to a function; what is left of a line waits for its end or a Flush.
class LineBuffer final : public std::streambuf {
public:
    explicit LineBuffer(std::function<void(const std::string&)> line) : line_(std::move(line)) {}
    void Flush() {
        if (!pending_.empty())
            line_(std::exchange(pending_, {}));
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        if (traits_type::to_char_type(c) == '\n')
            line_(std::exchange(pending_, {}));
        else
            pending_ += traits_type::to_char_type(c);
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        for (std::streamsize i = 0; i < count; ++i)
            overflow(traits_type::to_int_type(text[i]));
        return count;
    }

private:
    std::function<void(const std::string&)> line_;
    std::string pending_;
};

} // namespace

class GangDisplay::PortStreams {
public:
    PortStreams(GangDisplay& display, std::size_t port)
        : outBuffer([&display, port](const std::string& line) { display.Line(port, false, line); }),
          errBuffer([&display, port](const std::string& line) { display.Line(port, true, line); }) {}
    LineBuffer outBuffer, errBuffer;
    std::ostream out{&outBuffer}, err{&errBuffer};
};

GangDisplay::GangDisplay(std::ostream& out, std::ostream& err, Clock& clock, bool progress,
                         std::vector<std::string> ports, std::size_t width)
    : out_(out), err_(err), clock_(clock), progress_(progress), width_(width < 20 ? 20 : width),
      ports_(std::move(ports)), texts_(ports_.size()) {
    for (std::size_t i = 0; i < ports_.size(); ++i)
        streams_.push_back(std::make_unique<PortStreams>(*this, i));
}

GangDisplay::~GangDisplay() { Finish(); }

std::ostream& GangDisplay::Out(std::size_t port) { return streams_.at(port)->out; }
std::ostream& GangDisplay::Err(std::size_t port) { return streams_.at(port)->err; }

void GangDisplay::Flush(std::size_t port) {
    streams_.at(port)->outBuffer.Flush();
    streams_.at(port)->errBuffer.Flush();
}

void GangDisplay::Line(std::size_t port, bool toErr, const std::string& text) {
    std::lock_guard lock(mutex_);
    WipeLocked();
    if (toErr) {
        out_.flush();
        err_ << '[' << ports_.at(port) << "] " << text << std::endl;
    } else {
        out_ << '[' << ports_.at(port) << "] " << text << '\n';
    }
    DrawLocked();
}

void GangDisplay::Progress(std::size_t port, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!progress_ || texts_.at(port) == text)
        return;
    texts_.at(port) = text;
    if (drawnLines_ > 0 && clock_.NowUs() - lastDrawUs_ < kRedrawUs)
        return;
    WipeLocked();
    DrawLocked();
}

void GangDisplay::Finish() {
    std::lock_guard lock(mutex_);
    WipeLocked();
    progress_ = false;
    out_.flush();
}

void GangDisplay::WipeLocked() {
    if (drawnLines_ == 0)
        return;
    // Back to the first progress line, and everything below it goes.
    err_ << '\r';
    if (drawnLines_ > 1)
        err_ << "\033[" << drawnLines_ - 1 << 'A';
    err_ << "\033[J" << std::flush;
    drawnLines_ = 0;
}

void GangDisplay::DrawLocked() {
    if (!progress_ || std::all_of(texts_.begin(), texts_.end(), [](const std::string& t) { return t.empty(); }))
        return;
    out_.flush();
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        std::string line = '[' + ports_[i] + "] " + texts_[i];
        // A line longer than the terminal would wrap, and the wipe would miss its end.
        if (line.size() >= width_)
            line.resize(width_ - 1);
        err_ << (i == 0 ? "" : "\n") << line;
    }
    err_ << std::flush;
    drawnLines_ = ports_.size();
    lastDrawUs_ = clock_.NowUs();
}

} // namespace vandrel::cli
