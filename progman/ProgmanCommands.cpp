#include "progman/ProgmanCommands.h"
#include <cstring>
#include "framework/Text.h"

const char kProgmanGroupName[] = "Cobweld";
const char kDeleteGroupCommand[] = "[DeleteGroup(\"Cobweld\",0)]";
const char kCreateGroupCommand[] = "[CreateGroup(\"Cobweld\",0)]";

namespace {

// TRUE when the single-byte character c ends an unquoted argument or would
// make it a quoted one.
bool EndsUnquotedArgument(char c)
{
    return std::strchr(",()[]\"", c) != nullptr;
}

}

std::string QuotedArgument(const char* text)
{
    std::string result(text);
    // '"' is below every trail byte of the code page: no double-byte
    // character can hold one.
    for (char& c : result) {
        if (c == '"')
            c = '\'';
    }
    return result;
}

std::string PositionalArgument(const char* text)
{
    size_t length = std::strlen(text);
    bool needsQuotes = length > 0 && (text[0] == ' ' || text[length - 1] == ' ');
    for (size_t i = 0; i < length && !needsQuotes;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (::IsDBCSLeadByte(c) && i + 1 < length) {
            i += 2;
            continue;
        }
        needsQuotes = EndsUnquotedArgument(text[i]);
        ++i;
    }
    if (!needsQuotes)
        return std::string(text, length);
    std::string result = "\"";
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '"')
            result += text[i];
    }
    result += '"';
    return result;
}

std::string BuildLauncherItemCommand(const std::string& launcherPath)
{
    return "[AddItem(\"" + QuotedArgument(launcherPath.c_str()) + "\",\"" + kProgmanGroupName + "\")]";
}

std::string BuildEntryItemCommand(const std::string& launcherPath, int index,
                                  const CProgramEntry& entry)
{
    std::string title = FieldText(entry.m_szTitle);
    std::string iconPath = FieldText(entry.m_szIconPath);
    std::string directory = FieldText(entry.m_szDirectory);

    std::string command = "[AddItem(\"";
    command += QuotedArgument(launcherPath.c_str());
    command += ' ';
    command += std::to_string(index);
    command += "\",\"";
    command += QuotedArgument(title.c_str());
    command += "\",";
    command += PositionalArgument(iconPath.c_str());
    command += ',';
    command += std::to_string(entry.m_nIconIndex);
    command += ",,,";
    command += PositionalArgument(directory.c_str());
    command += ',';
    if (entry.m_bRunMinimized)
        command += ",1";
    command += ")]";
    return command;
}
