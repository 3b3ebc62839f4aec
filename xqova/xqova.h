// xqova: self-describing records of vital-signs devices.
//
// The whole public interface of the library in one header.
#ifndef XQOVA_XQOVA_H
#define XQOVA_XQOVA_H

#include "xqova/builtin/builtin.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/export.h"
#include "xqova/core/guid_time.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/dictionary.h"

#endif
