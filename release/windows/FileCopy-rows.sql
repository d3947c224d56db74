-- The rows of FileCopy's MSI package that wixl 0.101 cannot write, put in by
-- make_msi.py through msibuild once wixl has built the package from
-- FileCopy.wxs. One statement a line; a line starting with "--" is a comment.

-- Windows reads EventMessageFile as REG_EXPAND_SZ (#%); wixl writes REG_SZ.
UPDATE `Registry` SET `Value`='#%[#FileCopy.exe]' WHERE `Registry`='EventMessageFile'
-- Removing FileCopy removes its event source whole ("-").
INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES ('EventSource', 2, 'SYSTEM\CurrentControlSet\Services\EventLog\Application\FileCopy', '-', 'Program')
