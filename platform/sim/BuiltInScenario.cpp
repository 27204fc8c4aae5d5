// The machine the program shows when no desktop audio server is reachable: an ordinary laptop
// with a few devices plugged in, a few applications open and a few Bluetooth devices paired.
#include "platform/sim/ScenarioFile.h"

namespace velmora::platform::sim {
namespace {

constexpr const char* kBuiltIn = R"json({
  "devices": [
    {"uid": "BuiltInSpeakerDevice", "name": "内置扬声器", "transport": "bltn",
     "output": {"streams": [2], "volume": [{"element": 0, "value": 0.5}], "mute": {"muted": false}}},
    {"uid": "BuiltInMicrophoneDevice", "name": "内置麦克风", "transport": "bltn",
     "input": {"streams": [1], "volume": [{"element": 0, "value": 0.8}], "mute": {"muted": false}}},
    {"uid": "usb-dac-0d8c-0014", "name": "USB Audio DAC", "transport": "usb ", "sampleRate": 96000,
     "output": {"streams": [2], "volume": [{"element": 1, "value": 0.7}, {"element": 2, "value": 0.7}]}},
    {"uid": "hdmi-display-1", "name": "HDMI 显示器", "transport": "hdmi",
     "output": {"streams": [2]}},
    {"uid": "a4:c3:f0:85:1e:22:output", "name": "无线耳机", "transport": "blue",
     "output": {"streams": [2], "volume": [{"element": 0, "value": 0.6}], "mute": {"muted": false}},
     "input": {"streams": [1], "volume": [{"element": 0, "value": 1.0}]}},
    {"uid": "virtual-loopback-1", "name": "Loopback Audio", "transport": "virt",
     "output": {"streams": [2], "volume": [{"element": 0, "value": 1.0}]},
     "input": {"streams": [2]}}
  ],
  "defaultOutput": "BuiltInSpeakerDevice",
  "defaultInput": "BuiltInMicrophoneDevice",
  "processes": [
    {"pid": 412, "bundleID": "com.example.tunes", "executable": "/Applications/Tunes.app/Contents/MacOS/Tunes",
     "tones": [{"frequency": 440, "level": 0.4}],
     "application": {"bundlePath": "/Applications/Tunes.app", "bundleIdentifier": "com.example.tunes", "name": "Tunes"}},
    {"pid": 900, "bundleID": "org.example.browser", "executable": "/Applications/Browser.app/Contents/MacOS/Browser",
     "tones": [], "playing": false,
     "application": {"bundlePath": "/Applications/Browser.app", "bundleIdentifier": "org.example.browser", "name": "Browser"}},
    {"pid": 9077, "bundleID": "org.example.browser.helper.renderer",
     "executable": "/Applications/Browser.app/Contents/Frameworks/Browser Helper.app/Contents/MacOS/Browser Helper",
     "tones": [{"frequency": 660, "level": 0.3}]},
    {"pid": 1530, "bundleID": "com.example.meet", "executable": "/Applications/Meet.app/Contents/MacOS/Meet",
     "tones": [{"frequency": 330, "level": 0.3}], "playing": false,
     "application": {"bundlePath": "/Applications/Meet.app", "bundleIdentifier": "com.example.meet", "name": "Meet"}},
    {"pid": 2210, "executable": "/usr/local/bin/tone-cli", "tones": [{"frequency": 880, "level": 0.2}]}
  ],
  "bundles": [
    {"path": "/Applications/Tunes.app", "identifier": "com.example.tunes",
     "info": {"CFBundleName": "Tunes", "CFBundleDisplayName": "音乐", "CFBundleIconFile": "Tunes"},
     "resourceFiles": ["Tunes.icns"]},
    {"path": "/Applications/Browser.app", "identifier": "org.example.browser",
     "info": {"CFBundleName": "Browser", "CFBundleIconName": "AppIcon"}, "imageResources": ["AppIcon"]},
    {"path": "/Applications/Browser.app/Contents/Frameworks/Browser Helper.app",
     "identifier": "org.example.browser.helper", "registered": false, "info": {"CFBundleName": "Browser Helper"}},
    {"path": "/Applications/Meet.app", "identifier": "com.example.meet", "info": {"CFBundleName": "Meet"}},
    {"path": "/System/Applications/Utilities/Audio Setup.app", "identifier": "com.example.audiosetup",
     "info": {"CFBundleName": "Audio Setup"}}
  ],
  "paired": [
    {"address": "a4:c3:f0:85:1e:22", "name": "无线耳机", "services": ["0x110B", "0x111E"], "majorClass": 4,
     "connected": true},
    {"address": "f0:2b:7c:11:09:5a", "name": "客厅音箱", "services": ["0x110B"], "majorClass": 4},
    {"address": "3c:22:fb:6e:40:17", "name": "蓝牙键盘", "services": ["0x1124"], "majorClass": 5,
     "connected": true}
  ],
  "folders": ["/home/user/Applications"],
  "home": "/home/user"
})json";

}  // namespace

Scenario builtInScenario() { return parseScenario(kBuiltIn, "built-in scenario"); }

}  // namespace velmora::platform::sim
