#include "system/GlobalHotKeyX11.hpp"
