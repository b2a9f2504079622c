#pragma once

#include <string>
#include <vector>

// Reads every message box that this thread opens while it lives and answers it with OK, so
// that code which shows real message boxes runs on without a person.
class MessageBoxWatch {
public:
    struct Box {
        std::string caption;
        std::string text;
        bool hasIcon;
    };

    MessageBoxWatch();
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    std::vector<Box> boxes;
};
