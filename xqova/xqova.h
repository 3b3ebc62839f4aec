// xqova: self-describing records of vital-signs devices.
//
// The whole public interface of the library in one header.
#ifndef XQOVA_XQOVA_H
#define XQOVA_XQOVA_H

#include "xqova/builtin/builtin.h"
#include "xqova/core/budget.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/export.h"
#include "xqova/core/guid_time.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/definition_builder.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/host/member_kind.h"
#include "xqova/host/member_path.h"
#include "xqova/host/member_values.h"
#include "xqova/message/byte_queue.h"
#include "xqova/message/connection.h"
#include "xqova/message/frame.h"
#include "xqova/message/rendezvous.h"
#include "xqova/message/stream_reader.h"
#include "xqova/object/member_accessor.h"
#include "xqova/object/object.h"
#include "xqova/object/object_ptr.h"
#include "xqova/object/vector.h"
#include "xqova/text/string_table.h"
#include "xqova/text/table_builder.h"
#include "xqova/text/table_check.h"
#include "xqova/text/table_manager.h"
#include "xqova/version.h"

#endif
