#include "cli/Options.h"

#include <map>

#include "rom/SampleImage.h"

namespace torvane::cli {

namespace {

const std::map<std::string, Command>& CommandNames() {
  static const std::map<std::string, Command> names = {
      {"devices", Command::Devices}, {"burn", Command::Burn},       {"erase", Command::Erase},
      {"export", Command::Export},   {"version", Command::Version},
  };
  return names;
}

// Options each command takes, and whether they carry a value.
struct OptionRule {
  const char* name;
  bool hasValue;
};

std::vector<OptionRule> OptionsOf(Command c) {
  switch (c) {
    case Command::Burn: return {{"--vid", true}, {"--pid", true}, {"--name", true}, {"--verify", true}};
    case Command::ImageSet: return {{"--vid", true}, {"--pid", true}, {"--name", true}};
    case Command::Export: return {{"--output", true}};
    default: return {};
  }
}

std::size_t PositionalCount(Command c) {
  switch (c) {
    case Command::Burn:
    case Command::ImageShow:
    case Command::ImageSet: return 1;
    default: return 0;
  }
}

void Store(Options& o, const std::string& name, const std::string& value) {
  if (name == "--vid") o.vid = value;
  else if (name == "--pid") o.pid = value;
  else if (name == "--name") o.name = value;
  else if (name == "--verify") o.verify = value;
  else if (name == "--output") o.output = value;
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
  ParseResult result;
  Options& o = result.options;
  std::size_t i = 0;
  auto fail = [&](std::string message) {
    result.error = std::move(message);
    return result;
  };

  // Global options come before the command.
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--simulate") {
      o.simulate = true;
    } else if (a.rfind("--simulate=", 0) == 0) {
      o.simulate = true;
      o.simConfig = a.substr(11);
      if (o.simConfig.empty()) return fail("--simulate= needs a configuration file");
    } else if (const std::string name = a.substr(0, a.find('=')); name == "--sim-flash" || name == "--device") {
      const std::size_t eq = a.find('=');
      // Either "--device PATH" or "--device=PATH".
      std::string value;
      if (eq != std::string::npos) {
        value = a.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      if (value.empty()) return fail(name + " needs a value");
      (name == "--device" ? o.device : o.simFlash) = value;
      // A flash file belongs to the simulated camera: the system's cameras are never meant by it.
      if (name == "--sim-flash") o.simulate = true;
    } else if (a.rfind("--", 0) == 0) {
      return fail("unknown option " + a);
    } else {
      break;
    }
  }
  if (i == args.size()) {
    if (!o.help) return fail("no command given");
    return result;
  }

  o.commandName = args[i++];
  if (o.commandName == "image") {
    if (i == args.size()) {
      if (o.help) {
        o.command = Command::ImageShow;
        return result;
      }
      return fail("image needs one of: show, set, new");
    }
    const std::string sub = args[i++];
    o.commandName += " " + sub;
    if (sub == "show") o.command = Command::ImageShow;
    else if (sub == "set") o.command = Command::ImageSet;
    else if (sub == "new") {
      // The sample builder parses its own options (shared with torvane-sample-image).
      o.command = Command::ImageNew;
      o.rawArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      return result;
    } else {
      return fail("unknown command image " + sub);
    }
  } else {
    const auto it = CommandNames().find(o.commandName);
    if (it == CommandNames().end()) return fail("unknown command " + o.commandName);
    o.command = it->second;
  }

  const auto allowed = OptionsOf(o.command);
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a.rfind("--", 0) == 0) {
      std::string name = a;
      std::optional<std::string> value;
      if (const auto eq = a.find('='); eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
      }
      const OptionRule* rule = nullptr;
      for (const auto& s : allowed)
        if (name == s.name) rule = &s;
      if (!rule) return fail("unknown option " + name + " for " + o.commandName);
      if (!value) {
        if (i + 1 >= args.size()) return fail(name + " needs a value");
        value = args[++i];
      }
      Store(o, name, *value);
      continue;
    }
    o.positional.push_back(a);
  }
  if (o.help) return result;
  if (o.positional.size() != PositionalCount(o.command))
    return fail(o.commandName + (PositionalCount(o.command) ? " takes one file" : " takes no file"));
  if (o.verify != "sampled" && o.verify != "full") return fail("--verify takes sampled or full");
  return result;
}

std::string HelpText(Command command) {
  const std::string common =
      "Exit status: 0 success; 1 the operation failed; 2 bad usage or bad input file;\n"
      "3 no camera found (or the one named by --device is not there).\n";
  switch (command) {
    case Command::Devices:
      return "Usage: torvane [global options] devices\n"
             "Lists every video input device in discovery order with its name and device path, and\n"
             "whether it qualifies (the extension-unit node found or the fallback node used, and the\n"
             "chip id read).\n" + common;
    case Command::Burn:
      return "Usage: torvane [global options] burn IMAGE [--vid HEX] [--pid HEX] [--name TEXT]\n"
             "                                      [--verify sampled|full]\n"
             "Loads IMAGE (131072 bytes), applies the USB identity (the image's own, or the options'),\n"
             "with a fresh CRC, and burns it. The image file itself is never changed.\n"
             "  --vid, --pid   up to four hexadecimal digits\n"
             "  --name         at most 31 UTF-16 code units\n"
             "  --verify full  also reads back every group after the burn's own sampled checks\n" + common;
    case Command::Erase:
      return "Usage: torvane [global options] erase\nErases the flash and checks that it reads blank.\n" + common;
    case Command::Export:
      return "Usage: torvane [global options] export [--output FILE]\n"
             "Reads the whole flash into FILE (default: the name built from the firmware information,\n"
             "in the current directory).\n" + common;
    case Command::Version:
      return "Usage: torvane [global options] version\nPrints the firmware information fields, one a line.\n" +
             common;
    case Command::ImageShow:
      return "Usage: torvane image show IMAGE\n"
             "Shows the signature, header fields, identity, and whether the stored CRC matches.\n" + common;
    case Command::ImageSet:
      return "Usage: torvane image set IMAGE [--vid HEX] [--pid HEX] [--name TEXT]\n"
             "Patches the identity with a fresh CRC and saves IMAGE in place (atomically).\n" + common;
    case Command::ImageNew:
      return "Usage: torvane image new OUTPUT [options]\nBuilds a sample image of our own.\n\n" +
             rom::SampleImageOptionsHelp() + "\n" + common;
    case Command::None: break;
  }
  return "Usage: torvane [global options] COMMAND [options]\n"
         "\n"
         "Commands:\n"
         "  devices            list video input devices and whether each qualifies\n"
         "  burn IMAGE         burn a ROM image into the camera's flash\n"
         "  erase              erase the flash and check it reads blank\n"
         "  export             read the whole flash into a file\n"
         "  version            print the firmware version fields\n"
         "  image show IMAGE   show a ROM image's header and identity\n"
         "  image set IMAGE    change a ROM image's identity and save it\n"
         "  image new OUTPUT   build a sample ROM image\n"
         "\n"
         "Global options:\n"
         "  --simulate[=CONFIG]  use the simulated camera (default, or configured by CONFIG)\n"
         "  --sim-flash FILE     keep the simulated flash in FILE across runs (implies --simulate)\n"
         "  --device PATH        use only the camera with this device path\n"
         "  --help               this text; COMMAND --help for a command's own\n"
         "\n" + common;
}

}  // namespace torvane::cli
