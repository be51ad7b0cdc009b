<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="IDCONSMEFE" fieldtype="string" WIDTH="1"/>
<FIELD attrname="IDBLOQNFSAF" fieldtype="string" WIDTH="1"/>
</FIELDS><PARAMS/></METADATA><ROWDATA>
<ROW IDCONSMEFE="S" IDBLOQNFSAF="N"/>
</ROWDATA></DATAPACKET>
