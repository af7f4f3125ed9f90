#include "foundation/Network.h"

#include "foundation/AppSettings.h"

#include <gtest/gtest.h>

TEST(NetworkTest, OfflineSwitchMeansNotConnected) {
    const bool saved = GetAppSettings().OfflineMode;
    GetAppSettings().OfflineMode = true;
    EXPECT_FALSE(IsInternetConnected());
    GetAppSettings().OfflineMode = saved;
}
