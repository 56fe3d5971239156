#include "net/tcp_probe.h"

#include <gtest/gtest.h>

#include "support/http_test_server.h"

namespace tu {
namespace {

TEST(ProbeTcp, OnlyAListeningIpv4PortCountsAsOnline) {
  test::HttpTestServer server;
  EXPECT_TRUE(probeTcp("127.0.0.1", server.port(), 3000));
  EXPECT_FALSE(probeTcp("127.0.0.1", test::sockets::unusedLoopbackPort(), 3000));
  // An address with no IPv4 form: the probe never tries IPv6.
  EXPECT_FALSE(probeTcp("::1", server.port(), 3000));
  EXPECT_FALSE(probeTcp("tarn-test.invalid", server.port(), 3000));
  EXPECT_FALSE(probeTcp("127.0.0.1", 0, 3000));
  EXPECT_FALSE(probeTcp("127.0.0.1", 65536, 3000));
}

}  // namespace
}  // namespace tu
