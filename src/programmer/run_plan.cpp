#include "programmer/run_plan.h"

#include <memory>

#include "common/convert.h"
#include "ftdi/ftdi_port_driver.h"
#include "serial/comm_x.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_line_latency.h"

namespace vandrel::programmer {

void WaitMeter::Measure(std::int64_t askedUs, const std::function<void()>& wait) {
    if (askedUs <= 0)
        return;
    const std::int64_t start = base_.NowUs();
    wait();
    spentUs_ += base_.NowUs() - start;
    askedUs_ += askedUs;
    ++waits_;
}

void WaitMeter::WaitMs(std::int64_t ms) {
    Measure(ms * 1000, [&] { base_.WaitMs(ms); });
}

void WaitMeter::WaitUs(std::int64_t us) {
    Measure(us, [&] { base_.WaitUs(us); });
}

bool IsClosingStatus(const std::string& text) {
    return text == "Process finished." || text == "Terminated by user.";
}

RunPoint RunRecorder::Here() const {
    const LinkCounts counts = Counter ? Counter() : LinkCounts{};
    return {counts.calls,   meter_.SpentUs(), meter_.AskedUs(), meter_.Waits(),
            meter_.NowUs(), counts.transfers, counts.bytes};
}

void RunRecorder::OnStatus(const std::string& text) {
    if (RecordPoints)
        Points.push_back(Here());
    if (Span.started && !Span.ended && IsClosingStatus(text)) {
        Span.end = Here();
        Span.ended = true;
    }
}

void RunRecorder::OnFirstStep() {
    if (!Span.started) {
        Span.start = Here();
        Span.started = true;
    }
}

OperationRequest DumpRequest(std::int32_t address, std::int32_t count) {
    OperationRequest request;
    request.kind = OperationRequest::Kind::Dump;
    request.address = address;
    request.count = count;
    return request;
}

void RequestHost::ProcessMessages() {
    if (OnPump)
        OnPump();
}

bool RequestHost::IsChecked(StepBox box) const {
    // The run and the dump are always enabled, as in the window.
    return box == StepBox::FarmWare || box == StepBox::FarmOnDump || Ticked.count(box) != 0;
}

bool RequestHost::FlashIfEmpty(RequiredField field) {
    switch (field) {
    case RequiredField::SerialPort: return Port.empty();
    case RequiredField::DeviceSelect: return false; // the request has its device
    case RequiredField::DumpAddress: return DumpAddress.empty();
    case RequiredField::DumpSize: return DumpSize.empty();
    }
    return false;
}

std::string RequestHost::ButtonCaption(OperationButton button) const {
    const auto it = captions_.find(button);
    if (it != captions_.end())
        return it->second;
    return button == OperationButton::Go ? "&Download" : "D&ump";
}

void Press(TFarmOperations& operations, RequestHost& host, const OperationRequest& request) {
    host.Ticked = request.steps;
    host.HexPath = request.hexPath;
    operations.SetLockOutLast(request.lockOutLast);
    operations.SetTiming(request.timing);
    if (request.kind == OperationRequest::Kind::Dump) {
        // The window reads both fields as hexadecimal.
        host.DumpAddress = Hex4(request.address);
        host.DumpSize = Hex4(request.count);
        operations.btnDumpClick();
    } else {
        operations.btnGoClick();
    }
}

OperationPlan PlanOperation(const device::TPicDevice& device, const image::THexFile& image,
                            const OperationRequest& request, LinkKind link) {
    VirtualClock clock;
    serial::TCommX comm;
    comm.SetClock(clock);
    comm.SetFlowCtrl(serial::cfcNone);
    // Nothing behind the cable: the runs take the same steps whatever the chip answers.
    std::function<LinkCounts()> counts;
    if (link == LinkKind::Ft232r) {
        auto cable = std::make_shared<simulator::SimFt232r>(nullptr, clock, 0);
        comm.SetDriverFactory(ftdi::MakeFtdiPortFactory(cable, ftdi::FtdiTarget{}));
        counts = [cable] { return LinkCounts{0, cable->WaitingTransfers(), cable->BytesWritten()}; };
    } else {
        auto counter = std::make_shared<simulator::LineLatency>(nullptr, clock, 0);
        auto port = std::make_shared<serial::SimPort>();
        port->SetRecording(false);
        port->SetClock(clock);
        port->SetPeer(counter);
        comm.SetDriverFactory(serial::MakeSimPortFactory(port));
        counts = [counter] { return LinkCounts{counter->Calls(), 0, 0}; };
    }

    image::THexFile copy = image;
    copy.SetProcessEventsHook(nullptr);
    copy.SetChecksumErrorHook(nullptr);

    RequestHost host(clock);
    host.Port = "COM0";
    host.Counter = counts;
    host.RecordPoints = true;
    host.OnPump = [&comm] { comm.ProcessNotifications(); };
    TFarmOperations operations(host, comm, copy, device);
    Press(operations, host, request);

    OperationPlan plan;
    plan.span = host.Span;
    plan.points = std::move(host.Points);
    plan.end = host.Here();
    return plan;
}

std::optional<Pace> PaceOfRun(const OperationPlan& plan, const OperationSpan& span,
                              const std::vector<RunPoint>& points, LinkKind link, double usPerByte) {
    if (!span.started || !span.ended)
        return std::nullopt;
    if (link == LinkKind::Ft232r)
        return MeasureTransferPace(span.Times(), plan.span.Transfers(), plan.span.Bytes(), usPerByte);
    std::optional<Pace> pace = MeasurePace(span.Times(), plan.span.Calls());
    // The real run showed the planned run's statuses: the planned calls between
    // two of them took the time measured between the same two.
    if (pace && points.size() == plan.points.size()) {
        std::vector<Stretch> stretches;
        for (std::size_t i = 1; i < plan.points.size(); ++i)
            if (plan.points[i].waits == plan.points[i - 1].waits)
                stretches.push_back({plan.points[i].calls - plan.points[i - 1].calls,
                                     points[i].atUs - points[i - 1].atUs,
                                     points[i].waitUs - points[i - 1].waitUs});
        if (const auto steady = SteadyUsPerCall(stretches))
            pace->usPerCall = *steady;
    }
    return pace;
}

RunEstimate EstimateOf(const OperationPlan& plan, const Pace& pace) {
    const MeasuredTimes planned = plan.span.Times();
    return RunEstimate{pace,          plan.span.Calls(),     planned.askedUs,
                       planned.waits, plan.span.Transfers(), plan.span.Bytes()};
}

} // namespace vandrel::programmer
