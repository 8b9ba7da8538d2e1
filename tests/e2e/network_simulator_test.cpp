// The runs against the network simulator (network_card_test.cpp,
// network_discovery_test.cpp, discovery_peers_test.cpp) are built only
// with it; a build without it says so among the results rather than
// passing them over in silence.
#include <gtest/gtest.h>

#ifndef REFLASH_TEST_SIM_NETWORK
TEST(NetworkRuns, NeedTheNetworkSimulator) { GTEST_SKIP() << "this build has no network simulator"; }
#endif
