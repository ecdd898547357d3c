#include "app/ErrorReason.h"

std::wstring KnownErrorReason(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return L"磁盘空间不足";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return L"文件正被其他程序使用";
    case ERROR_ACCESS_DENIED:
        return L"没有访问权限";
    case ERROR_WRITE_PROTECT:
        return L"磁盘有写保护";
    case ERROR_FILENAME_EXCED_RANGE:
        return L"路径太长";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return L"目标位置已有同名项目";
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return L"名称不能用作文件名";
    case ERROR_INVALID_PARAMETER:
        return L"系统不接受这个名称或路径";
    case ERROR_REQUEST_ABORTED:
    case ERROR_CANCELLED:
        return L"操作已取消";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return L"找不到该项目";
    case ERROR_DIR_NOT_EMPTY:
        return L"文件夹不是空的";
    case ERROR_NOT_READY:
        return L"设备未就绪";
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_BAD_NET_NAME:
        return L"无法访问网络位置";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return L"内存不足";
    case ERROR_CRC:
        return L"读取磁盘时出错";
    case ERROR_NOT_SAME_DEVICE:
        return L"不能跨磁盘移动";
    default:
        return L"";
    }
}

std::wstring ErrorReasonText(DWORD error)
{
    const std::wstring known = KnownErrorReason(error);
    return known.empty() ? L"错误代码 " + std::to_wstring(error) : known;
}
