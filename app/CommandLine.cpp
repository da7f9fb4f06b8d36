#include "app/CommandLine.h"

#include <initializer_list>

namespace vw {

namespace {

bool ContainsAny(const std::wstring& text, std::initializer_list<const wchar_t*> needles)
{
    for (const wchar_t* needle : needles)
        if (text.find(needle) != std::wstring::npos)
            return true;
    return false;
}

}  // namespace

StartSwitches ParseSwitches(const std::wstring& commandLine)
{
    StartSwitches switches;
    switches.log = ContainsAny(commandLine, {L"/Log", L"-Log", L"- Log"});
    switches.minimised = ContainsAny(commandLine, {L"/Min", L"-Min", L"- Min"});
    return switches;
}

}  // namespace vw
