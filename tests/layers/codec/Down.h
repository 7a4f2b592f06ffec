#pragma once

#include "codec/Errors.h"
