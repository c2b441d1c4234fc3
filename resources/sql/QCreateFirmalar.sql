use FirmaDB

if not exists(select * from sysobjects where name='FIRMALAR')
begin

CREATE TABLE [dbo].[FIRMALAR] (
	[FIRMA_ADI] [varchar] (18) NULL ,
	[YILI] [varchar] (4) NULL ,
	[UNVANI] [varchar] (254) NULL ,
	[ALIASADI] [varchar] (22) NULL ,
	[TEL_NO1] [varchar] (17) NULL ,
	[TEL_NO2] [varchar] (17) NULL ,
	[FAKS] [varchar] (17) NULL ,
	[ADRES1] [varchar] (35) NULL ,
	[ADRES2] [varchar] (35) NULL ,
	[SEMT] [varchar] (35) NULL ,
	[ILI] [varchar] (35) NULL ,
	[SEVIYE] [varchar] (1) NULL ,
	[MUAVIN_HANE] [smallint] NULL ,
	[TALI_HANE] [smallint] NULL ,
	[DETAY_HANE] [smallint] NULL ,
	[FIS_TIP] [varchar] (1) NULL ,
	[TAHSILNO] [float] NULL ,
	[TEDIYENO] [float] NULL ,
	[MAHSUPNO] [float] NULL ,
	[ORTAKNO] [float] NULL ,
	[OZELNO] [float] NULL ,
	[AB7] [varchar] (1) NULL ,
	[AYRAC] [varchar] (1) NULL ,
	[ALFADURUM] [varchar] (1) NULL ,
	[FIYASKO] [datetime] NULL,
                [DATABASE_NAME] [varchar] (80) NULL ,
                [FIRMA_ID] [varchar] (15) NULL,
                [FIRMA_NO] [char] (1) NULL                 
) ON [PRIMARY]
end

if not exists(select * from sys.indexes where object_id = object_id(N'dbo.FIRMALAR') and name = N'FIRMALAR0')
CREATE  UNIQUE  INDEX [FIRMALAR0] ON [dbo].[FIRMALAR]([FIRMA_ADI], [YILI]) ON [PRIMARY]

if not exists(select * from sys.indexes where object_id = object_id(N'dbo.FIRMALAR') and name = N'FIRMALAR1')
CREATE  INDEX [FIRMALAR1] ON [dbo].[FIRMALAR]([ALIASADI]) ON [PRIMARY]
