// The simulated Corvane controller: an AMS router on TCP that serves the PLC's flag memory and
// mailbox program over ADS, accepts the firmware download, installs a complete image, reboots,
// and injects the faults a real instrument and network show. Used in-process by tests and by
// the corvane-sim program. Every member function is thread-safe.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ams/ams_types.h"
#include "platform/tcp_socket.h"

namespace sim {

// All combinable; SetFaults switches them at run time.
struct Faults {
    bool refuseConnect = false;   // the router's TCP port is closed
    bool statusError = false;     // non-zero error code in the status block
    bool mailboxSilent = false;   // no mailbox command is ever answered
    bool releaseSilent = false;   // command 15 is never answered
    bool registerSilent = false;  // command 13 is never answered
    bool busy = false;            // state word 2
    int dropAfter = 0;            // every connection is dropped after N requests on it (0 = off)
    int delayMs = 0;              // every reply waits N ms
    bool downloadSilent = false;  // download frames are taken but never answered
    bool downloadError = false;   // download frames are answered with a non-zero error code
    int downloadDropAfter = 0;    // a connection is dropped after N download frames (0 = off)
    bool rejectImage = false;     // a complete image is never installed
    bool neverReturn = false;     // after a flash the controller refuses connections for good
    int busyAfterRebootMs = 0;    // after a reboot the state word is 2 for N ms
    int installMs = 0;            // after RUN the old firmware runs N ms before the install
    int rebootAfterWrites = 0;    // the N-th parameter write after an install restarts it
    int stallDownload = 0;        // a connection is no longer read after N download frames
    int dropAfterReads = 0;       // a connection closes at its N+1-th parameter read (0 = off)
    // One-shot cuts over the events of a run (new mailbox commands, STOP/RUN, download frames),
    // counted from the start or from the SetFaults that set them: the K-th is not served and
    // every connection closes; under restart-at the controller then restarts (0 = off).
    int cutAt = 0;
    int restartAt = 0;
    int notReadyAfterRebootMs = 0;   // after a reboot that installed, state word 0 for N ms
    int loseRun = 0;                 // the first N RUNs after a complete download are lost
    int restartAfterReadbackMs = 0;  // N ms after the session that wrote parameters after an
                                     // install (and read them back) is released, restarts with
                                     // factory parameters (once)
    int busyAfterCutMs = 0;          // after a download connection ends early, state 2 for N ms
    // A router with this one route: only frames from this source NetId, on a connection from
    // its first four octets, are served; the rest is dropped unanswered (none set = serve all).
    std::optional<AmsNetId> route{};
    int wrongInvokeAfter = 0;  // the reply to the N-th request on a connection carries another
                               // invoke id (0 = off)
    int stateFlapMs = 0;       // the state word alternates between 1 and 2 every N ms (0 = off)
    int cutEvents = 0;         // cut-at cuts the N events from its K-th on, each alike (0, 1 = one)
    int writeDelayMs = 0;      // a parameter write is answered N ms after the program first saw it
    // Once, from the outage-at-th event (counted as cut-at counts), nothing is answered on any
    // connection for outage-ms ms: frames are left unserved, connections stay open (0 = off).
    int outageAt = 0;
    int outageMs = 0;
    // Once the session that wrote parameters after an install is released (as for
    // restart-after-readback-ms), the router's port closes and stays closed until the faults
    // change.
    bool refuseAfterRestore = false;

    bool operator==(const Faults&) const = default;
};

struct Options {
    platform::Ipv4 listen{127, 0, 0, 1};
    uint16_t port = 48898;  // 0 = any free port (see Controller::Port)
    uint8_t firmwareMajor = 3;
    uint8_t firmwareMinor = 1;
    uint8_t newFirmwareMajor = 3;  // what an installed image reports
    uint8_t newFirmwareMinor = 3;
    std::vector<uint8_t> expectedImage;  // empty = the project's embedded FirmwareImage()
    int rebootMs = 3000;
    Faults faults;
    std::string logPath;                              // JSON lines; empty = no log
    std::function<void(const std::string&)> onEvent;  // one readable line per event
};

struct DownloadFrame {
    uint16_t commandId = 0;
    uint32_t invokeId = 0;
    std::vector<uint8_t> data;
};

struct Stats {
    uint64_t connectionsAccepted = 0;
    uint64_t connectionsClosed = 0;                // by either side
    std::map<uint16_t, uint64_t> adsRequests;      // by ADS command id
    std::map<uint16_t, uint64_t> mailboxReceived;  // new mailbox commands seen, by code
    std::map<uint16_t, uint64_t> mailboxAnswered;  // by code
    uint64_t commandBlockWrites = 0;               // Writes touching the command block
    uint64_t stopRequests = 0;
    uint64_t stopsWhileBusy = 0;      // STOP requests while the state word read 2
    uint64_t stopsWhileNotReady = 0;  // STOP requests while the state word read 0
    // STOP requests while an image may be installing: a complete one waiting for its RUN, or an
    // install held back by install-ms under way.
    uint64_t stopsWhileInstalling = 0;
    // Parameter writes (new command 7 records) by the state word when the program first saw them.
    uint64_t writesWhileBusy = 0;      // it read 2
    uint64_t writesWhileNotReady = 0;  // it read 0
    uint64_t runRequests = 0;
    uint64_t downloadFrames = 0;
    uint64_t framesWithoutRoute = 0;  // dropped under the route fault
    uint64_t events = 0;  // new mailbox commands, STOP/RUN requests and download frames so far
    uint64_t imagesReceived = 0;  // downloads completed by their three closing frames
    uint64_t imagesInstalled = 0;
    uint64_t imagesRejected = 0;
    uint64_t rebootsStarted = 0;
    uint64_t rebootsCompleted = 0;
    bool rebooting = false;
    bool listening = false;
    std::optional<platform::Ipv4> lastRegisteredHost;
};

// Parameter ids of the mailbox program and their kinds.
inline constexpr int kParameterCount = 12;
inline constexpr int kFirmwareVersionParameter = 10;
bool IsFloatParameter(int id);  // 0-3 and 5-8
bool IsIntParameter(int id);    // 4, 9, 11

// A flash: the download's closing commands followed by RUN install the image when it equals
// the expected one (firmware becomes the new version, parameters go to factory values) or
// reject it; either way the controller closes its port before the RUN reply goes out, drops
// every connection, stays away for rebootMs and comes back in RUN with its flag memory kept
// (the request then in the command block counts as handled). Under install-ms the old firmware
// answers the RUN and serves on for that long, then the install and the reboot follow alike.
//
// Start and Stop belong to the owner's thread; everything else may be called from any thread.
class Controller {
public:
    explicit Controller(Options options);
    ~Controller();  // stops
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Binds and listens; false (see LastError) when the address cannot be bound.
    bool Start();
    // Drops every connection and joins every thread; Start may be called again.
    void Stop();
    std::string LastError() const;
    uint16_t Port() const;  // the bound TCP port

    // Setters and getters of the wrong kind for an id do nothing and read 0; id 9 keeps the
    // low 8 bits (signed); id 10 is the firmware version (SetFirmware).
    void SetFloatParameter(int id, float value);
    void SetIntParameter(int id, int32_t value);
    float FloatParameter(int id) const;
    int32_t IntParameter(int id) const;
    // The values an installed image resets the parameters to.
    static float FactoryFloatParameter(int id);
    static int32_t FactoryIntParameter(int id);

    void SetFirmware(uint8_t major, uint8_t minor);
    std::pair<uint8_t, uint8_t> Firmware() const;
    void SetStateWord(int16_t value);  // 1 = ready unless a fault says otherwise
    void SetDetailWord(int16_t value);
    void SetErrorCode(uint32_t value);
    uint16_t PlcState() const;  // 5 RUN, 6 STOP
    void SetFaults(const Faults& faults);
    Faults CurrentFaults() const;

    Stats stats() const;
    std::vector<DownloadFrame> DownloadFrames() const;  // in order of arrival, the first 4096
    std::vector<uint8_t> LastReceivedImage() const;     // of the last completed download

    // Waits until `predicate` holds for the stats or `limit` passes; false on time-out.
    bool WaitFor(const std::function<bool(const Stats&)>& predicate,
                 std::chrono::milliseconds limit) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim
