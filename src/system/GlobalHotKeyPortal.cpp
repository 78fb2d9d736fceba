#include "system/GlobalHotKeyPortal.hpp"
