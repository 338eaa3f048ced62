#include "wire.h"

#include <algorithm>
#include <cstring>

namespace panelsim::wire {

uhid_event Create2(DeviceType type, const std::string& name) {
  return Create2(type, name, IdentityOf(type).product, "");
}

uhid_event Create2(DeviceType type, const std::string& name, uint16_t product, const std::string& port) {
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = UHID_CREATE2;
  auto& c = ev.u.create2;
  std::string full = "panelsim " + name;
  std::memcpy(c.name, full.data(), std::min(full.size(), sizeof c.name - 1));
  std::string phys = (port.empty() ? "" : "port=" + port + " ") + "panelsim/" + name;
  std::memcpy(c.phys, phys.data(), std::min(phys.size(), sizeof c.phys - 1));
  std::vector<uint8_t> rd = ReportDescriptor(type);
  c.rd_size = static_cast<uint16_t>(std::min<size_t>(rd.size(), sizeof c.rd_data));
  std::memcpy(c.rd_data, rd.data(), c.rd_size);
  c.bus = 0x03;  // BUS_USB
  UsbIdentity id = IdentityOf(type);
  c.vendor = id.vendor;
  c.product = product;
  c.version = 0x0100;
  return ev;
}

std::optional<Request> ParseHostEvent(const uhid_event& ev, size_t bytes, std::string* error) {
  auto fail = [&](const char* why) -> std::optional<Request> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (bytes < sizeof ev.type) return fail("event too short");
  Request r;
  switch (ev.type) {
    case UHID_OUTPUT: {
      const size_t need = offsetof(uhid_event, u) + offsetof(uhid_output_req, rtype) + sizeof ev.u.output.rtype;
      if (bytes < need) return fail("output event too short");
      if (ev.u.output.size == 0 || ev.u.output.size > sizeof ev.u.output.data) return fail("output report size out of range");
      r.kind = Request::Kind::Output;
      r.data.assign(ev.u.output.data, ev.u.output.data + ev.u.output.size);
      r.report = r.data[0];
      return r;
    }
    case UHID_GET_REPORT: {
      if (bytes < offsetof(uhid_event, u) + sizeof ev.u.get_report) return fail("get-report event too short");
      if (ev.u.get_report.rtype != UHID_FEATURE_REPORT) return fail("only feature reports can be got");
      r.kind = Request::Kind::GetFeature;
      r.id = ev.u.get_report.id;
      r.report = ev.u.get_report.rnum;
      return r;
    }
    case UHID_SET_REPORT: {
      const size_t need = offsetof(uhid_event, u) + offsetof(uhid_set_report_req, data);
      if (bytes < need) return fail("set-report event too short");
      if (ev.u.set_report.rtype != UHID_FEATURE_REPORT) return fail("only feature reports can be set");
      if (ev.u.set_report.size == 0 || ev.u.set_report.size > sizeof ev.u.set_report.data) return fail("set-report size out of range");
      r.kind = Request::Kind::SetFeature;
      r.id = ev.u.set_report.id;
      r.report = ev.u.set_report.rnum;
      r.data.assign(ev.u.set_report.data, ev.u.set_report.data + ev.u.set_report.size);
      return r;
    }
    default: return fail("not a request");
  }
}

uhid_event FromAnswer(const Answer& a) {
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  switch (a.kind) {
    case Answer::Kind::Input: {
      ev.type = UHID_INPUT2;
      size_t n = std::min(a.data.size(), sizeof ev.u.input2.data);
      ev.u.input2.size = static_cast<uint16_t>(n);
      if (n > 0) std::memcpy(ev.u.input2.data, a.data.data(), n);
      break;
    }
    case Answer::Kind::GetFeatureReply: {
      ev.type = UHID_GET_REPORT_REPLY;
      ev.u.get_report_reply.id = a.id;
      ev.u.get_report_reply.err = static_cast<uint16_t>(a.err);
      size_t n = std::min(a.data.size(), sizeof ev.u.get_report_reply.data);
      ev.u.get_report_reply.size = static_cast<uint16_t>(n);
      // An empty reply (an error answer) has no buffer to copy from.
      if (n > 0) std::memcpy(ev.u.get_report_reply.data, a.data.data(), n);
      break;
    }
    case Answer::Kind::SetFeatureReply:
      ev.type = UHID_SET_REPORT_REPLY;
      ev.u.set_report_reply.id = a.id;
      ev.u.set_report_reply.err = static_cast<uint16_t>(a.err);
      break;
  }
  return ev;
}

std::vector<uint8_t> Payload(const uhid_event& ev) {
  switch (ev.type) {
    case UHID_OUTPUT: return {ev.u.output.data, ev.u.output.data + std::min<size_t>(ev.u.output.size, sizeof ev.u.output.data)};
    case UHID_SET_REPORT: return {ev.u.set_report.data, ev.u.set_report.data + std::min<size_t>(ev.u.set_report.size, sizeof ev.u.set_report.data)};
    case UHID_INPUT2: return {ev.u.input2.data, ev.u.input2.data + std::min<size_t>(ev.u.input2.size, sizeof ev.u.input2.data)};
    case UHID_GET_REPORT_REPLY:
      return {ev.u.get_report_reply.data, ev.u.get_report_reply.data + std::min<size_t>(ev.u.get_report_reply.size, sizeof ev.u.get_report_reply.data)};
    default: return {};
  }
}

}  // namespace panelsim::wire
