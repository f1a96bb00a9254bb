// The COM and OLE Automation stand-in in one include.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/com_client.h"
#include "platform/com/com_ptr.h"
#include "platform/com/com_types.h"
#include "platform/com/connection_point.h"
#include "platform/com/guid.h"
#include "platform/com/safearray.h"
#include "platform/com/server_module.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"
