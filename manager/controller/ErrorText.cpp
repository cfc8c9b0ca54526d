#include "ErrorText.h"

#include "text/UserFacingError.h"

QString errorText(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const UserFacingError &error) {
        return error.errorDescription();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}
