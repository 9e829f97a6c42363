-- Loads DUNSKARA into a headless Ardour session and prints what a user would see:
-- parameter values, toggles, programs/presets; chooses a program, changes one value,
-- saves, reopens and prints everything again. Not a test: read the output.
--
-- Run through check_session.sh, which sets these environment variables:
--   DUNSKARA_FORMAT   VST2, VST3 or LV2
--   DUNSKARA_PLUGIN   what Ardour looks the plug-in up by (name or URI)
--   DUNSKARA_SESSION  folder for the session (created; must not exist yet)
--   DUNSKARA_PROGRAM  label of the program to choose (default "user4", the fourth)
--   DUNSKARA_PHASE    "create" (create, choose, save) or "reopen" (load and check); each
--                     runs in a process of its own, as reopening a closed session in the
--                     same headless process crashes Ardour 7.3 (in its process graph).

local format  = os.getenv ("DUNSKARA_FORMAT") or "VST3"
local plugin_id = os.getenv ("DUNSKARA_PLUGIN") or "DUNSKARA"
local folder  = os.getenv ("DUNSKARA_SESSION") or "/tmp/dunskara-ardour-check"
local program = os.getenv ("DUNSKARA_PROGRAM") or "user4"
local phase   = os.getenv ("DUNSKARA_PHASE") or "create"
local session_name = "dunskara-check"
-- set while `program` is chosen; VST2 and VST3 label it by its name, LV2 by its port's name
local changed_labels, changed_value = { ["gain_1"] = true, ["Mid band gain"] = true }, 0.1

local types = { VST2 = ARDOUR.PluginType.LXVST, VST3 = ARDOUR.PluginType.VST3, LV2 = ARDOUR.PluginType.LV2 }
local plugin_type = assert (types[format], "DUNSKARA_FORMAT must be VST2, VST3 or LV2")

local function the_plugin_insert ()
	for r in Session:get_routes ():iter () do
		local i = 0
		while true do
			local proc = r:nth_plugin (i)
			if proc:isnil () then break end
			if proc:to_insert ():plugin (0):name () == "DUNSKARA" or proc:display_name ():find ("DUNSKARA") then
				return proc
			end
			i = i + 1
		end
	end
	return nil
end

-- The plug-in's control parameters in Ardour's order: for each, the number that
-- LuaAPI.get/set_processor_param take and the plug-in's own parameter (port) index.
local function controls (plugin)
	local list = {}
	for n = 0, plugin:parameter_count () - 1 do -- VST2 answers "ok" for any n
		local port, refs = plugin:nth_parameter (n, true)
		if not refs[2] then break end
		list[#list + 1] = { nth = n, port = port }
	end
	return list
end

local function index_of (plugin, labels)
	for _, c in ipairs (controls (plugin)) do
		if labels[plugin:parameter_label (c.port)] and plugin:parameter_is_input (c.port) then return c.nth end
	end
	return nil
end

-- Value (as Ardour holds it), range and toggle flag of every input control, one a line,
-- then the names of the output controls (meters, latency).
local function print_parameters (proc, title)
	local plugin = proc:to_insert ():plugin (0)
	local list = controls (plugin)
	local toggles, inputs, outputs = 0, 0, {}
	print (string.format ("== %s: %d controls", title, #list))
	for _, c in ipairs (list) do
		if plugin:parameter_is_input (c.port) then
			inputs = inputs + 1
			local _, pd = plugin:get_parameter_descriptor (c.port, ARDOUR.ParameterDescriptor ())
			local desc = pd[2]
			local value = ARDOUR.LuaAPI.get_processor_param (proc, c.nth, true)
			if desc.toggled then toggles = toggles + 1 end
			print (string.format ("  %2d %-12s value %-10.6g lower %g upper %g%s", c.nth, plugin:parameter_label (c.port),
				value, desc.lower, desc.upper, desc.toggled and "  toggle" or ""))
		else
			outputs[#outputs + 1] = plugin:parameter_label (c.port)
		end
	end
	print (string.format ("  inputs: %d, toggles: %d; outputs: %d: %s", inputs, toggles, #outputs, table.concat (outputs, ", ")))
end

-- Lua reaches an instance's presets only by label or URI: look up the ten program names
-- (every format), and what the plug-in info lists (what Ardour offers before an instance).
local function print_presets (proc)
	local plugin = proc:to_insert ():plugin (0)
	local found = {}
	for p = 1, 10 do
		local preset = plugin:preset_by_label ("user" .. p)
		if preset and preset.valid then found[#found + 1] = preset.label .. " = " .. preset.uri end
	end
	print (string.format ("== programs found on the instance by label: %d", #found))
	for _, text in ipairs (found) do print ("  " .. text) end
	local info_names = {}
	for p in plugin:get_info ():get_presets (false):iter () do info_names[#info_names + 1] = p.label end
	print (string.format ("== presets listed by the plug-in info: %d: %s", #info_names, table.concat (info_names, ", ")))
	local last = plugin:last_preset ()
	print (string.format ("== last preset: valid %s, label '%s', uri '%s'", tostring (last.valid), last.label, last.uri))
end

local function choose (proc, label)
	local plugin = proc:to_insert ():plugin (0)
	local preset = plugin:preset_by_label (label)
	if not preset or not preset.valid then
		print ("== no preset/program labelled " .. label)
		return false
	end
	local ok = plugin:load_preset (preset)
	print (string.format ("== chose '%s' (%s): %s", label, preset.uri, tostring (ok)))
	return ok
end

local function show_changed (proc, when)
	local plugin = proc:to_insert ():plugin (0)
	local j = index_of (plugin, changed_labels)
	if j then
		print (string.format ("== %s: %s = %.6g", when, "gain_1", ARDOUR.LuaAPI.get_processor_param (proc, j, true)))
	end
end

-- Lets the engine run a few cycles, so that queued parameter changes reach the plug-in.
local function run_a_little ()
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	ARDOUR.LuaAPI.usleep (300000)
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	ARDOUR.LuaAPI.usleep (100000)
end

AudioEngine:set_backend ("None (Dummy)", "", "")

---------------------------------------------------------------------------------------
if phase == "create" then
print (string.format ("######## %s: create session in %s", format, folder))
local s = create_session (folder, session_name, 48000)
assert (s, "could not create the session")

local tracks = Session:new_audio_track (2, 2, nil, 1, "DUNSKARA", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local route = tracks:front ()
local proc = ARDOUR.LuaAPI.new_plugin (Session, plugin_id, plugin_type, "")
assert (not proc:isnil (), "Ardour found no plug-in " .. plugin_id .. " of type " .. format)
assert (route:add_processor_by_index (proc, 0, nil, true) == 0, "could not add the plug-in")
run_a_little ()

print_parameters (proc, "after creation")
print_presets (proc)

choose (proc, program)
run_a_little ()
local plugin = proc:to_insert ():plugin (0)
local j = index_of (plugin, changed_labels)
if j then
	ARDOUR.LuaAPI.set_processor_param (proc, j, changed_value)
	run_a_little ()
end
show_changed (proc, "after choosing " .. program .. " and setting it")
print_parameters (proc, "before saving")
print_presets (proc)

Session:save_state ("", false, false, false, false, false)
print ("######## saved")
close_session ()
end

---------------------------------------------------------------------------------------
if phase == "reopen" then
print (string.format ("######## %s: reopen the session", format))
s = load_session (folder, session_name)
assert (s, "could not reopen the session")
proc = the_plugin_insert ()
assert (proc, "the reopened session holds no DUNSKARA")
run_a_little ()

print_parameters (proc, "after reopening")
print_presets (proc)
show_changed (proc, "after reopening (expect " .. changed_value .. " if " .. program .. " is current)")

-- The other programs are still there: the first holds the defaults, the chosen one the change.
choose (proc, "user1")
run_a_little ()
show_changed (proc, "after choosing user1 (expect the default)")
choose (proc, program)
run_a_little ()
show_changed (proc, "after choosing " .. program .. " again (expect " .. changed_value .. ")")

print ("######## done")
end
io.stdout:flush ()
