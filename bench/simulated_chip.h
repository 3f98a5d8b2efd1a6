#pragma once
// A device's simulated chip behind a simulated port, as the benchmarks'
// full runs use it, and an image that fills every area of the device.
#include <cstdint>
#include <memory>
#include <random>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "serial/comm_x.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"

struct SimulatedChip {
    SimulatedChip(const vandrel::device::TPicDevice& d, vandrel::Clock& clock)
        : chip(std::make_shared<vandrel::simulator::SimChip>(d, clock)) {
        port->SetRecording(false);
        port->SetClock(clock);
        port->SetPeer(chip);
        comm.SetDriverFactory(vandrel::serial::MakeSimPortFactory(port));
        comm.SetClock(clock);
    }
    std::shared_ptr<vandrel::simulator::SimChip> chip;
    std::shared_ptr<vandrel::serial::SimPort> port = std::make_shared<vandrel::serial::SimPort>();
    vandrel::serial::TCommX comm;
};

// Every word of every area, but the calibration word the chip keeps.
inline void FillImage(vandrel::image::THexFile& image, const vandrel::device::TPicDevice& d) {
    std::mt19937 random(static_cast<std::uint32_t>(d.DeviceIDValue));
    for (std::int32_t a = 0; a < d.ProgramMemory.Size; ++a)
        if (a != d.Algorithm.Calibration.Osccal)
            image.SetWord(a, static_cast<std::int16_t>(random() & 0x3FFF));
    for (std::int32_t a = 0; a < d.UserID.Size; ++a)
        image.SetWord(d.UserID.Address + a, static_cast<std::int16_t>(random() & 0x000F));
    for (std::int32_t a = 0; a < d.ConfigurationWord.Size; ++a)
        image.SetWord(d.ConfigurationWord.Address + a, a == 0 ? 0x3F72 : 0x3FFC);
    for (std::int32_t a = 0; a < d.DataMemory.Size; ++a)
        image.SetWord(d.DataMemory.Address + a, static_cast<std::int16_t>(random() & 0xFF));
}
