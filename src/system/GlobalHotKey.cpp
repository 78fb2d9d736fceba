#include "system/GlobalHotKey.hpp"
