#pragma once

#include "codec/Errors.h"
#include "protocol/Session.h"
