#pragma once
// The one error type of the program: a VB/DAO error number with its Italian description, as users see it.
// The platform and the database engine throw it where the original runtime raised an error; procedures
// catch it exactly where they have their handler.

#include <stdexcept>
#include <string>

namespace ledrana {

class Error : public std::runtime_error {
public:
    Error(int number, std::string description)
        : std::runtime_error(std::to_string(number) + " " + description), number_(number),
          description_(std::move(description)) {}

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    int number_;
    std::string description_;
};

} // namespace ledrana
