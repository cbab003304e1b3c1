#include "commands/credit_argument.h"

#include "core/text.h"

namespace kadrel {

std::optional<CreditArgument> readCreditArgument(const char* parameterText) {
    if (parameterText[0] == '\0') return std::nullopt;
    CharString amountText(parameterText);
    CharString name = splitAt(amountText, ':');
    // Without a colon the amount text is the whole parameter text, which then
    // either equals the name or, having blanks at an end, is not a number.
    if (name.equalsNoCase(amountText)) return std::nullopt;
    if (!isNumericInRange(amountText.text())) return std::nullopt;
    if (name.size() > longestAccountName) return std::nullopt;
    return CreditArgument{name, parseInteger(amountText.text(), 10)};
}

}  // namespace kadrel
