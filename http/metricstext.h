#pragma once

#include "http/ihttpmetrics.h"

#include <QByteArray>

// GET /metrics: the counters in Prometheus' text format (version 0.0.4).
namespace MetricsText {

inline constexpr char ContentType[] = "text/plain; version=0.0.4; charset=utf-8";

QByteArray render(const HttpMetricsSnapshot& metrics);

// A label value as the format writes it between quotes.
QByteArray labelValue(const QByteArray& value);

} // namespace MetricsText
