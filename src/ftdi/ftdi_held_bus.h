#pragma once
// A bus that keeps the FT232R it opened claimed from one opening to the
// next. A command of the command line opens its port more than once (the
// device ID check, then the run); each real opening and closing detaches
// the system's serial driver and gives the cable back to it, and in between
// any program that watches new serial ports may take it. Kept, the cable
// stays in bit-bang mode with the pins where the last closing left them,
// until Release().
//
// A cable whose transfer failed is not kept: its next opening is a real one.
#include <memory>

#include "ftdi/ftdi_bus.h"

namespace vandrel::ftdi {

class HeldFtdiBus final : public FtdiBus {
public:
    explicit HeldFtdiBus(std::shared_ptr<FtdiBus> inner);
    ~HeldFtdiBus() override; // releases

    std::vector<FtdiDeviceInfo> List(FtdiProblem& problem) override;
    // The kept cable when `target` names the one kept and nobody has it open;
    // else a real opening (a different target first gives the kept one back).
    std::unique_ptr<FtdiDevice> Open(const FtdiTarget& target, FtdiProblem& problem) override;

    // Closes the kept cable for real. Safe to call twice.
    void Release();

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace vandrel::ftdi
