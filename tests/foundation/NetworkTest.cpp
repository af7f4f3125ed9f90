#include "foundation/Network.h"

#include "foundation/FoundationSettings.h"

#include <gtest/gtest.h>

TEST(NetworkTest, OfflineSwitchMeansNotConnected) {
    const bool saved = foundation::GetSettings().offlineMode;
    foundation::GetSettings().offlineMode = true;
    EXPECT_FALSE(IsInternetConnected());
    foundation::GetSettings().offlineMode = saved;
}
