// The object support under the names the JSON and tool tests use.
#ifndef XQOVA_TESTS_ENCODING_BINARY_TEST_SUPPORT_H
#define XQOVA_TESTS_ENCODING_BINARY_TEST_SUPPORT_H

#include "support/objects.h"

namespace binary_test = test_objects;
namespace object_test = test_objects;

#endif
