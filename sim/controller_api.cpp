// The controller's own calls: starting and stopping it, and what a test or the program sets
// and reads of the instrument from outside the network.
#include <bit>

#include "sim/controller_impl.h"

namespace sim {
namespace {

std::string AddressText(const platform::Ipv4& ip, uint16_t port) {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]) + ":" + std::to_string(port);
}

}  // namespace

Controller::Controller(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Controller::~Controller() {
    Stop();
}

bool Controller::Start() {
    Impl& d = *impl_;
    if (d.acceptThread.joinable()) {
        return true;
    }
    if (!d.log.Good()) {
        std::lock_guard lock(d.mutex);
        d.lastError = "cannot open the log file " + d.options.logPath;
        return false;
    }
    if (!d.OpenListener()) {
        std::lock_guard lock(d.mutex);
        d.lastError = "cannot listen on " + AddressText(d.options.listen, d.options.port);
        return false;
    }
    {
        std::lock_guard lock(d.mutex);
        d.stopping = false;
        d.model.CurrentStats().listening = true;
        // First the line that says the controller is there, then what it starts with.
        d.Emit("listening", "listening on " + AddressText(d.options.listen, d.boundPort));
        d.LogParameters(true);
    }
    d.acceptThread = std::thread([&d] { d.AcceptLoop(); });
    return true;
}

void Controller::Stop() {
    Impl& d = *impl_;
    if (!d.acceptThread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(d.mutex);
        d.stopping = true;
    }
    d.Changed();
    d.acceptThread.join();
    d.listener.Close();
}

std::string Controller::LastError() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastError;
}

uint16_t Controller::Port() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->boundPort;
}

void Controller::SetFloatParameter(int id, float value) {
    if (!IsFloatParameter(id)) {
        return;
    }
    std::lock_guard lock(impl_->mutex);
    impl_->model.Plc().SetParameterRaw(id, std::bit_cast<uint32_t>(value));
    impl_->LogParameters(false);
}

void Controller::SetIntParameter(int id, int32_t value) {
    if (!IsIntParameter(id)) {
        return;
    }
    if (id == 9) {
        value = static_cast<int8_t>(value);
    }
    std::lock_guard lock(impl_->mutex);
    impl_->model.Plc().SetParameterRaw(id, static_cast<uint32_t>(value));
    impl_->LogParameters(false);
}

float Controller::FloatParameter(int id) const {
    if (!IsFloatParameter(id)) {
        return 0.0f;
    }
    std::lock_guard lock(impl_->mutex);
    return std::bit_cast<float>(impl_->model.Plc().ParameterRaw(id));
}

int32_t Controller::IntParameter(int id) const {
    if (!IsIntParameter(id)) {
        return 0;
    }
    std::lock_guard lock(impl_->mutex);
    return static_cast<int32_t>(impl_->model.Plc().ParameterRaw(id));
}

float Controller::FactoryFloatParameter(int id) {
    return IsFloatParameter(id) ? std::bit_cast<float>(PlcProgram::FactoryRaw(id)) : 0.0f;
}

int32_t Controller::FactoryIntParameter(int id) {
    return IsIntParameter(id) ? static_cast<int32_t>(PlcProgram::FactoryRaw(id)) : 0;
}

void Controller::SetFirmware(uint8_t major, uint8_t minor) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.Plc().SetFirmware(major, minor);
    impl_->LogParameters(false);
}

std::pair<uint8_t, uint8_t> Controller::Firmware() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->model.Plc().FirmwareMajor(), impl_->model.Plc().FirmwareMinor()};
}

void Controller::SetStateWord(int16_t value) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.Plc().SetStateWord(value);
}

void Controller::SetDetailWord(int16_t value) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.Plc().SetDetailWord(value);
}

void Controller::SetErrorCode(uint32_t value) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.Plc().SetErrorCode(value);
}

uint16_t Controller::PlcState() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.Plc().Running() ? 5 : 6;
}

void Controller::SetFaults(const Faults& faults) {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->cuts.Rearm(impl_->model.CurrentFaults(), faults, impl_->model.CurrentStats());
        impl_->model.SetFaults(faults);
    }
    impl_->Changed();
}

Faults Controller::CurrentFaults() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.CurrentFaults();
}

Stats Controller::stats() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.CurrentStats();
}

std::vector<DownloadFrame> Controller::DownloadFrames() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.DownloadFrames();
}

std::vector<uint8_t> Controller::LastReceivedImage() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->model.LastReceivedImage();
}

bool Controller::WaitFor(const std::function<bool(const Stats&)>& predicate,
                         std::chrono::milliseconds limit) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, limit,
                                   [&] { return predicate(impl_->model.CurrentStats()); });
}

}  // namespace sim
