#include "Errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <new>
#include <string>
#include <system_error>
#include <sys/stat.h>

namespace glebix {

std::string DescribeContext(const ErrorContext &c, const ContextWords &w) {
    std::string text;
    if (!c.Setting.empty()) text = c.Setting;
    if (!c.Path.empty()) text += (text.empty() ? "" : " ") + (w.OpenQuote + c.Path + w.CloseQuote);
    const char *line = c.NamesPlotCell ? w.FileLine : w.Line;
    if (c.Line > 0) text += (text.empty() ? "" : ", ") + (line + std::to_string(c.Line));
    if (c.Column > 0 && !c.NamesPlotCell) text += (text.empty() ? "" : ", ") + (w.Column + std::to_string(c.Column));
    if (!c.Token.empty()) text += (text.empty() ? "" : w.Separator) + (w.OpenQuote + c.Token + w.CloseQuote);
    return text;
}

std::string MessageWithContext(const GlebixError &error) {
    const std::string where = DescribeContext(error.Context());
    return where.empty() ? std::string(error.what()) : where + " : " + error.what();
}

EngineMessage ErrorMessageOf(const std::exception &error) {
    if (const auto *own = dynamic_cast<const GlebixError *>(&error)) return own->Message();
    if (dynamic_cast<const std::bad_alloc *>(&error)) return MsgOutOfMemory;
    if (const auto *system = dynamic_cast<const std::system_error *>(&error))
        return IoErrorMessage(system->code().value(), std::string());
    return EngineMessage::Text(error.what());
}

std::string ExceptionMessage(const std::exception &error) {
    if (const auto *own = dynamic_cast<const GlebixError *>(&error)) return MessageWithContext(*own);
    return ErrorMessageOf(error).French();
}

void LocateInText(ErrorContext &context, std::string_view text, std::size_t offset, std::string_view token) {
    offset = std::min(offset, text.size());
    std::int64_t line = 1, column = 1;
    for (std::size_t k = 0; k < offset; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;  // a UTF-8 continuation byte is part of the character before
        }
    }
    context.Line = line;
    context.Column = column;
    // A token is at most a few hundred bytes; forty characters say which one it is.
    constexpr std::size_t longest = 40;
    std::size_t cut = std::min(token.size(), longest);
    while (cut < token.size() && cut > 0 && (static_cast<unsigned char>(token[cut]) & 0xC0) == 0x80) --cut;
    context.Token = std::string(token.substr(0, cut)) + (cut < token.size() ? "…" : "");
}

void ThrowFloatFault(MessageKey message) { throw GlebixError(message); }

void ThrowBadNumber() { throw GlebixError(MsgBadNumber); }

namespace {

std::atomic<bool> namesMissingFolders{false};

// The folder that would hold `path`.
std::string ParentFolder(const std::string &path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

bool IsDirectory(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The outermost missing folder on the way to `folder` (itself missing).
std::string FirstMissingFolder(std::string folder) {
    for (std::string up = ParentFolder(folder); up != folder && !IsDirectory(up); up = ParentFolder(folder))
        folder = up;
    return folder;
}

// The message of a path that leads nowhere: the windows' one, or what is wrong with it.
EngineMessage WrongPathMessage(const std::string &path) {
    if (!namesMissingFolders.load(std::memory_order_relaxed)) return MessageKey("engine.bad_file_name");
    if (path.empty()) return MessageKey("engine.empty_path");
    return EngineMessage("engine.missing_folder", {FirstMissingFolder(ParentFolder(path))});
}

}  // namespace

void NameMissingFolders(bool on) { namesMissingFolders.store(on); }

EngineMessage IoErrorMessage(int errnum, const std::string &path) {
    switch (errnum) {
    case ENOENT:
        // When the folder that would hold it exists, the file alone is missing.
        if (path.empty() || !IsDirectory(ParentFolder(path))) return WrongPathMessage(path);
        return MessageKey("engine.file_not_found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return MessageKey("engine.bad_file_name");
    case EMFILE:
    case ENFILE:
        return MessageKey("engine.too_many_files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return MessageKey("engine.access_denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return MessageKey("engine.disk_full");
    default:
        return EngineMessage("engine.io_error", {std::to_string(errnum)});
    }
}

void ThrowIoError(int errnum, const std::string &path) {
    ErrorContext context;
    context.Path = path;
    throw GlebixError(IoErrorMessage(errnum, path), context);
}

std::string ErrorBoxText(const std::string &message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

}  // namespace glebix
