-- The rows of FileCopy's MSI package that wixl 0.101 cannot write, put in by
-- make_msi.py through msibuild once wixl has built the package from
-- FileCopy.wxs. One statement a line; a line starting with "--" is a comment.

-- Windows reads EventMessageFile as REG_EXPAND_SZ (#%); wixl writes REG_SZ.
UPDATE `Registry` SET `Value`='#%[#FileCopy.exe]' WHERE `Registry`='EventMessageFile'
-- Removing FileCopy removes its event source whole ("-").
INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES ('EventSource', 2, 'SYSTEM\CurrentControlSet\Services\EventLog\Application\FileCopy', '-', 'Program')
-- Per machine, only secure properties reach the part that installs.
UPDATE `Property` SET `Value`='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;WMDCFIX;RAPIMGRSTART;WCESCOMMSTART' WHERE `Property`='SecureCustomProperties'

-- WMDCFIX=1: custom actions, not Registry rows in conditioned components,
-- because a component's condition counts only when FileCopy is first
-- installed: msiexec /i with WMDCFIX=1 where this version is already
-- installed would change nothing. These conditions are weighed at every
-- installation, so the fix also applies there, or again after a script has
-- disabled the services anew; never on removal, and where a service's key
-- is missing (its Start was not found) nothing of that service is touched.
--
-- Each runs a tool of Windows' system folder there (34), in the installer's
-- own elevated service (deferred 1024, not impersonated 2048), and the
-- installation goes on whatever it returns (64): a service that will not stop
-- or start must not undo FileCopy's installation. A disabled service gets
-- Start 2 (Automatic, as Windows Mobile Device Center installs it) both in the
-- registry, which Windows reads when it next starts, and through sc, which the
-- service manager takes at once. net waits until each service has stopped or
-- started, in the order of README.txt's commands for the same fix.
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcUnsplitRapiMgr', 3170, 'SystemFolder', '"[SystemFolder]reg.exe" add HKLM\SYSTEM\CurrentControlSet\Services\RapiMgr /v SvcHostSplitDisable /t REG_DWORD /d 1 /f')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcUnsplitWcesComm', 3170, 'SystemFolder', '"[SystemFolder]reg.exe" add HKLM\SYSTEM\CurrentControlSet\Services\WcesComm /v SvcHostSplitDisable /t REG_DWORD /d 1 /f')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcStartTypeRapiMgr', 3170, 'SystemFolder', '"[SystemFolder]reg.exe" add HKLM\SYSTEM\CurrentControlSet\Services\RapiMgr /v Start /t REG_DWORD /d 2 /f')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcStartTypeWcesComm', 3170, 'SystemFolder', '"[SystemFolder]reg.exe" add HKLM\SYSTEM\CurrentControlSet\Services\WcesComm /v Start /t REG_DWORD /d 2 /f')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcEnableRapiMgr', 3170, 'SystemFolder', '"[SystemFolder]sc.exe" config RapiMgr start= auto')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcEnableWcesComm', 3170, 'SystemFolder', '"[SystemFolder]sc.exe" config WcesComm start= auto')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcStopRapiMgr', 3170, 'SystemFolder', '"[SystemFolder]net.exe" stop RapiMgr /y')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcStopWcesComm', 3170, 'SystemFolder', '"[SystemFolder]net.exe" stop WcesComm /y')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcStartWcesComm', 3170, 'SystemFolder', '"[SystemFolder]net.exe" start WcesComm')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('WmdcStartRapiMgr', 3170, 'SystemFolder', '"[SystemFolder]net.exe" start RapiMgr')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcUnsplitRapiMgr', 'WMDCFIX="1" AND RAPIMGRSTART AND NOT REMOVE', 5010)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcUnsplitWcesComm', 'WMDCFIX="1" AND WCESCOMMSTART AND NOT REMOVE', 5011)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcStartTypeRapiMgr', 'WMDCFIX="1" AND RAPIMGRSTART="#4" AND NOT REMOVE', 5012)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcStartTypeWcesComm', 'WMDCFIX="1" AND WCESCOMMSTART="#4" AND NOT REMOVE', 5013)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcEnableRapiMgr', 'WMDCFIX="1" AND RAPIMGRSTART="#4" AND NOT REMOVE', 5014)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcEnableWcesComm', 'WMDCFIX="1" AND WCESCOMMSTART="#4" AND NOT REMOVE', 5015)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcStopRapiMgr', 'WMDCFIX="1" AND RAPIMGRSTART AND NOT REMOVE', 5020)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcStopWcesComm', 'WMDCFIX="1" AND WCESCOMMSTART AND NOT REMOVE', 5021)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcStartWcesComm', 'WMDCFIX="1" AND WCESCOMMSTART AND NOT REMOVE', 5030)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('WmdcStartRapiMgr', 'WMDCFIX="1" AND RAPIMGRSTART AND NOT REMOVE', 5031)
-- What a tool returns cannot choose a line of the log, so the log says at
-- each start what finishes the fix if it fails.
CREATE TABLE `ActionText` (`Action` CHAR(72) NOT NULL, `Description` CHAR(0) LOCALIZABLE, `Template` CHAR(0) LOCALIZABLE PRIMARY KEY `Action`)
INSERT INTO `ActionText` (`Action`, `Description`) VALUES ('WmdcStartWcesComm', 'WMDCFIX: starting the service WcesComm again; if it does not start now, a restart of the PC finishes the fix')
INSERT INTO `ActionText` (`Action`, `Description`) VALUES ('WmdcStartRapiMgr', 'WMDCFIX: starting the service RapiMgr again; if it does not start now, a restart of the PC finishes the fix')
