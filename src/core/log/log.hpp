#pragma once
// The logging facade for C++ code of the extension:
//
//     TOLVI_INFO("app::io", {"message", "saved"}, {"n", 3});
//     const tolvi::log::Span span(tolvi::log::Level::Info, "app", "load", {{"id", 7}});
//     const auto entered = span.enter();
//
// An event below the accepted level costs one level test: its fields are not
// even built.

#include "core/log/dispatch.hpp"
#include "core/log/event.hpp"
#include "core/log/field.hpp"
#include "core/log/level.hpp"
#include "core/log/span.hpp"

#define TOLVI_EVENT(level, target, ...)                                                            \
    do {                                                                                           \
        const ::tolvi::log::Level tolvi_event_level_ = (level);                                    \
        if (::tolvi::log::enabled(tolvi_event_level_)) {                                           \
            ::tolvi::log::emit(tolvi_event_level_, (target), __FILE__, __LINE__, {__VA_ARGS__});   \
        }                                                                                          \
    } while (false)

#define TOLVI_TRACE(target, ...) TOLVI_EVENT(::tolvi::log::Level::Trace, target, __VA_ARGS__)
#define TOLVI_DEBUG(target, ...) TOLVI_EVENT(::tolvi::log::Level::Debug, target, __VA_ARGS__)
#define TOLVI_INFO(target, ...) TOLVI_EVENT(::tolvi::log::Level::Info, target, __VA_ARGS__)
#define TOLVI_WARN(target, ...) TOLVI_EVENT(::tolvi::log::Level::Warn, target, __VA_ARGS__)
#define TOLVI_ERROR(target, ...) TOLVI_EVENT(::tolvi::log::Level::Error, target, __VA_ARGS__)
