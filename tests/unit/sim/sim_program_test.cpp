// The corvane-sim program as a user runs it: its first line, its exit codes and its signals.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "platform/tcp_socket.h"
#include "tests/support/test_address.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using corvane::test::TestAddress;
using corvane::test::TestOctets;

// The program with its standard output on a pipe; killed and reaped when it goes.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), CORVANE_SIM_PROGRAM);
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The next line of standard output, or nothing at end of output or after `limit`.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const size_t nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) != 1) {
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                return std::nullopt;
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // The exit status, or -1 when it did not exit normally within `limit`.
    int Wait(std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        // Its output closing is the event to wait for; the status follows at once.
        while (ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()))) {
        }
        int status = 0;
        const pid_t pid = pid_;
        if (::waitpid(pid, &status, 0) != pid) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool Started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

TEST(CorvaneSimProgram, ServesAfterItsListeningLineAndStopsOnSigterm) {
    AdsClientResetForTests();
    Program program({"--listen", TestAddress(), "--firmware", "3.2"});
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.ReadLine(), "listening on " + TestAddress() + ":48898");
    AdsPortOpen();
    const AmsAddr plc{ams::NetIdFromIpv4(TestOctets()), 800};
    EXPECT_EQ(AdsSyncWriteControlReq(&plc, ADSSTATE_STOP, 0, 0, nullptr), 0);
    AdsClientResetForTests();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0);
}

TEST(CorvaneSimProgram, StopsOnSigint) {
    Program program({"--listen", TestAddress(), "--port", "0"});
    ASSERT_TRUE(program.ReadLine().has_value());
    program.Signal(SIGINT);
    EXPECT_EQ(program.Wait(), 0);
}

class CorvaneSimUsage : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CorvaneSimUsage, ExitsWithStatusTwo) {
    std::vector<std::string> args{"--listen", TestAddress()};
    for (const auto& a : GetParam()) {
        args.push_back(a);
    }
    Program program(args);
    EXPECT_EQ(program.Wait(), 2);
}

INSTANTIATE_TEST_SUITE_P(BadArguments, CorvaneSimUsage,
                         ::testing::Values(std::vector<std::string>{"--no-such-option"},
                                           std::vector<std::string>{"--fault", "no-such-fault"},
                                           std::vector<std::string>{"--fault", "drop-after=-1"},
                                           std::vector<std::string>{"--fault", "drop-after"},
                                           std::vector<std::string>{"--fault", "busy=1"},
                                           std::vector<std::string>{"--port", "70000"},
                                           std::vector<std::string>{"--firmware", "3"},
                                           std::vector<std::string>{"--listen", "127.0.0.300"},
                                           std::vector<std::string>{"--image",
                                                                    "/nonexistent/image.bin"}));

TEST(CorvaneSimProgram, AddressInUseExitsWithStatusTwo) {
    platform::TcpSocket occupant = platform::TcpSocket::Create();
    ASSERT_TRUE(occupant.Bind(TestOctets(), 48898));
    ASSERT_TRUE(occupant.Listen());
    Program program({"--listen", TestAddress()});
    EXPECT_EQ(program.Wait(), 2);
}

}  // namespace
