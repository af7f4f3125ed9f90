#include "foundation/FoundationSettings.h"

namespace foundation {

Settings& GetSettings() {
    static Settings settings;
    return settings;
}

} // namespace foundation
