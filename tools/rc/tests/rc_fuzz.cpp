// Any input either compiles or fails with an RcError, never anything worse.
#include <cstddef>
#include <cstdint>
#include <string>

#include "blob_writer.h"
#include "parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try
    {
        auto s = qm::rc::CompileText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.rc", {});
        qm::rc::BuildBlob(s.resources);
    }
    catch (const qm::rc::RcError&)
    {
    }
    return 0;
}
