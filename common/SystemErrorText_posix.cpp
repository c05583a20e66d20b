#include "common/SystemErrorText.h"

#include <system_error>

std::string ErrorCodeText(int error) {
    return std::system_category().message(error);
}
