// corvane-sim: the simulated Corvane controller as a program, for demos and end-to-end tests.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "corvane_version.h"
#include "sim/controller.h"
#include "sim/fault_names.h"
#include "sim/stop_signal.h"

namespace {

constexpr int kUsageError = 2;
constexpr size_t kRecordSize = 2060;

int Fail(const std::string& message) {
    std::cerr << "corvane-sim: " << message << "\n";
    return kUsageError;
}

// The command line as given, before it is checked.
struct Arguments {
    std::string listen = "127.0.0.1";
    int port = 48898;
    std::string firmware = "3.1";
    std::string newFirmware = "3.3";
    std::string imagePath;
    int rebootMs = 3000;
    std::vector<std::string> faultSettings;
    std::string logPath;
};

void DefineOptions(CLI::App& app, Arguments& args) {
    app.add_option("--listen", args.listen, "IPv4 address to listen on")->capture_default_str();
    app.add_option("--port", args.port, "TCP port of the AMS router (0 = any free port)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--firmware", args.firmware, "installed firmware version MAJOR.MINOR")
        ->capture_default_str();
    app.add_option("--new-firmware", args.newFirmware,
                   "version MAJOR.MINOR an installed image reports")
        ->capture_default_str();
    app.add_option("--image", args.imagePath,
                   "the image to accept for installation (default: the embedded image)");
    app.add_option("--reboot-ms", args.rebootMs, "how long a reboot keeps the controller away")
        ->check(CLI::Range(0, 24 * 60 * 60 * 1000))
        ->capture_default_str();
    app.add_option("--fault", args.faultSettings,
                   "inject a fault, NAME or NAME=VALUE (repeatable)");
    app.add_option("--log", args.logPath, "write every request and state change as JSON lines");
    app.set_version_flag("--version", "corvane-sim " CORVANE_TOOL_VERSION " (" CORVANE_PRODUCT ")");
    app.footer("Faults:\n" + sim::FaultHelp() +
               "\nPrints 'listening on ADDRESS:PORT' once it accepts connections, then one line "
               "per event; SIGINT or SIGTERM stop it. Exit status 2 on a usage error or an "
               "address it cannot bind.");
}

// The image the controller accepts, when one was named: whole download records.
std::string ReadImage(const std::string& path, std::vector<uint8_t>& image) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return "--image: cannot read " + path;
    }
    image.assign(std::istreambuf_iterator<char>(file), {});
    if (image.empty() || image.size() % kRecordSize != 0) {
        return "--image: " + path + " is not whole records of 2060 bytes";
    }
    return {};
}

// The controller's options from checked arguments; a readable reason when one is wrong.
std::string MakeOptions(const Arguments& args, sim::Options& options) {
    const auto ip = sim::ParseIpv4(args.listen);
    if (!ip) {
        return "--listen: '" + args.listen + "' is not an IPv4 address";
    }
    options.listen = *ip;
    options.port = static_cast<uint16_t>(args.port);
    const auto version = sim::ParseVersion(args.firmware);
    const auto newVersion = sim::ParseVersion(args.newFirmware);
    if (!version) {
        return "--firmware: '" + args.firmware + "' is not MAJOR.MINOR";
    }
    if (!newVersion) {
        return "--new-firmware: '" + args.newFirmware + "' is not MAJOR.MINOR";
    }
    std::tie(options.firmwareMajor, options.firmwareMinor) = *version;
    std::tie(options.newFirmwareMajor, options.newFirmwareMinor) = *newVersion;
    options.rebootMs = args.rebootMs;
    for (const auto& setting : args.faultSettings) {
        std::string error;
        if (!sim::ApplyFault(setting, options.faults, error)) {
            return "--fault: " + error;
        }
    }
    options.logPath = args.logPath;
    return args.imagePath.empty() ? std::string()
                                  : ReadImage(args.imagePath, options.expectedImage);
}

}  // namespace

// Parse the command line, make the options, run the controller until a stop signal.
int main(int argc, char** argv) {
    CLI::App app{
        "Simulated Corvane controller: an AMS router serving the PLC's flag memory, the "
        "mailbox program and the firmware download over AMS/TCP."};
    Arguments args;
    DefineOptions(app, args);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kUsageError;
    }
    sim::Options options;
    if (const std::string error = MakeOptions(args, options); !error.empty()) {
        return Fail(error);
    }
    options.onEvent = [](const std::string& line) { std::cout << line << std::endl; };

    sim::PrepareStopSignal();
    sim::Controller controller(options);
    if (!controller.Start()) {
        return Fail(controller.LastError());
    }
    sim::WaitForStopSignal();
    controller.Stop();
    return 0;
}
