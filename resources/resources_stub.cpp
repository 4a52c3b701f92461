// resources_stub.cpp -- placeholder until the generated sound is embedded: no resources
#include "resources/resources.h"

ResourceData FindResource(int, const char*) {
    return {};
}
