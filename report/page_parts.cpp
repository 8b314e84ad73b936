#include "report/page_parts.h"

#include "platform/markup_text.h"

namespace tarvex::report {

std::string Figure(const Chart& chart, std::string_view caption) {
  return "<figure>" + ChartSvg(chart) + "<figcaption>" + platform::MarkupEscaped(caption) +
         "</figcaption></figure>";
}

std::string Paragraph(std::string_view text, std::string_view type) {
  return (type.empty() ? std::string("<p>") : "<p class=\"" + std::string(type) + "\">") +
         platform::MarkupEscaped(text) + "</p>";
}

std::string Section(std::string_view id, std::string_view heading, std::string_view body) {
  return "<section id=\"" + std::string(id) + "\"><h2>" + std::string(heading) + "</h2>" +
         std::string(body) + "</section>\n";
}

}  // namespace tarvex::report
