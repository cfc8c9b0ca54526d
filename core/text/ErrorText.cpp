#include "text/ErrorText.h"

#include "text/UserFacingError.h"

QString errorText(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const UserFacingError &error) {
        return error.errorDescription();
    } catch (const std::exception &error) {
        // Only the C++ and C libraries write these texts, and their system messages are in the
        // locale's encoding.
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}
