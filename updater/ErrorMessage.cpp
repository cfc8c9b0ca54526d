#include "ErrorMessage.h"

#include "text/UserFacingError.h"

QString errorMessage(const std::exception &error)
{
    if (const auto *userFacing = dynamic_cast<const UserFacingError *>(&error))
        return userFacing->errorDescription();
    return QString::fromLocal8Bit(error.what());
}
