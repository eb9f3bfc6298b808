// A connection under way when a signal arrives is still waited for, not given up or started
// again: a listener whose queue is full drops the first SYN, so the connect lasts until the
// retransmission, and signals keep arriving meanwhile.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/tcp_socket.h"
#include "tests/support/test_address.h"

namespace corvane::test {
namespace {

using namespace std::chrono_literals;

void IgnoreSignal(int) {}

TEST(TcpSocketConnect, SignalsDuringTheConnectionDoNotEndIt) {
    struct sigaction action {};
    action.sa_handler = IgnoreSignal;  // no SA_RESTART: every blocking call sees EINTR
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    platform::TcpSocket listener = platform::TcpSocket::Create();
    ASSERT_TRUE(listener.Bind(TestOctets(), 0) && listener.Listen(0));
    // Fills the listener's queue, so the next SYN is dropped and retransmitted a second later.
    platform::TcpSocket first = platform::TcpSocket::Create();
    ASSERT_TRUE(first.Connect(TestOctets(), listener.LocalPort(), 2s));

    const pthread_t connecting = ::pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        for (int i = 0; !done; ++i) {
            ::pthread_kill(connecting, SIGUSR1);
            if (i == 5) {
                platform::TcpSocket taken = listener.Accept();  // room for the retransmission
            }
            std::this_thread::sleep_for(20ms);
        }
    });
    platform::TcpSocket second = platform::TcpSocket::Create();
    const bool connected = second.Connect(TestOctets(), listener.LocalPort(), 10s);
    done = true;
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_TRUE(connected);
}

}  // namespace
}  // namespace corvane::test
