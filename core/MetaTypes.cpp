#include "MetaTypes.h"

namespace MetaTypes {

void registerAll()
{
    qRegisterMetaType<std::string>("std::string");
    qRegisterMetaType<std::wstring>("std::wstring");
}

} // namespace MetaTypes
